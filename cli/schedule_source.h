#pragma once

#include "cli/commands.h"
#include "schedule/module1.h"

namespace horvex::cli {

// The schedule that --sync and --print-frame send: the stored one (read
// only), or that of the --schedule file. Throws Failure when it cannot be
// read or a value is not one its list offers.
ClockSchedule scheduleToSend(const Request& r);

// The schedule as the window shows the mirrors: a text its list does not
// offer shows as nothing selected, and only a check value of 1 rings long.
ClockSchedule asShown(const Module1& m);

} // namespace horvex::cli
