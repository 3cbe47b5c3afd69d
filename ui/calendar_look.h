#pragma once

#include "calendar/calendar_rules.h"
#include "calendar/day_colours.h"
#include "calendar/spanish_dates.h"

#include <QColor>
#include <QDate>
#include <QLocale>
#include <QString>
#include <QStringList>
#include <vector>

class QWidget;

namespace horvex {

// The red of conflicts and errors, under white text.
inline const QColor kAlarmRed{QRgb(kAlarmRgb)};

// Black or white, whichever reads better on `fill`.
QColor textOn(const QColor& fill);

// The red of a warning text, readable on the window's own background.
QColor badText(const QWidget& on);

// The colour of each schedule (day_colours.h), kept while the window is
// open.
class ScheduleColours {
public:
    void meet(const std::vector<DayValue>& values) { rgb_.meet(values); }
    QColor of(const DayValue& value) const { return QColor(QRgb(rgb_.of(value))); }
    // The legend of `values` and of the grid's marks, as rich text.
    QString legend(const std::vector<DayValue>& values) const;

private:
    DayColours rgb_;
};

} // namespace horvex
