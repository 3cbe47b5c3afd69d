#pragma once

#include "calendar/calendar_rules.h"

#include <QStringList>
#include <vector>

namespace horvex {

// The colour of each schedule, as 0xRRGGBB, the same in the calendar window
// and on the printed plan: "guardado", "silencio" and "libre" have their own,
// schedule files take light fills in turn, in the order first met, and keep
// them while the colours live. The fills are light, so text on them is
// black.
class DayColours {
public:
    // Gives the values not met before their turn.
    void meet(const std::vector<DayValue>& values);
    quint32 of(const DayValue& value) const;

private:
    QStringList order_; // by name
};

// The red of conflicts and errors, under white text.
inline constexpr quint32 kAlarmRgb = 0xc40000;

} // namespace horvex
