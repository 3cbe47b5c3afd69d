#pragma once

#include "decoder.h"

#include <QJsonObject>
#include <QString>

namespace horvex::reloj {

// What the virtual clock prints for one received chunk: for a good frame the
// time it was set to, the 36 slots, the ring lengths, the gaps and the beep;
// otherwise every problem with its offset.
QString textReport(const Decoded& d, bool endedBySilence = false);

// The same as one JSON object, for scripts.
QJsonObject jsonReport(const Decoded& d, bool endedBySilence = false);

} // namespace horvex::reloj
