#pragma once

#include "schedule/module1.h"

#include <QTime>
#include <functional>

namespace horvex {

using ClockReading = std::function<QTime()>;

// The one-second clock refresh: reads the clock once, leaves "&H" + two digits in HoraAct, MinAct
// and SegAct and returns the time label's text, e.g. "09:05:07  ".
QString MostrarHora(Module1& m, const ClockReading& now);

// The PC's local time of day.
QTime localTimeOfDay();

} // namespace horvex
