#pragma once

#include <QString>
#include <optional>

namespace horvex {

// The clock takes the PC's time as it is, so the bells are only as right as
// the PC. When the kernel says its clock is not kept in step with a time
// server (adjtimex: STA_UNSYNC or TIME_ERROR), the warning to give; nothing
// when it is in step. Many machines, containers among them, say so all the
// time: this is a warning, never a reason to stop.
std::optional<QString> unsynchronisedPcClock();

} // namespace horvex
