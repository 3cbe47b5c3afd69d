#pragma once

#include "calendar/calendar_rules.h"

#include <QColor>
#include <QDate>
#include <QLocale>
#include <QString>
#include <QStringList>
#include <vector>

class QWidget;

namespace horvex {

// The calendar window speaks Spanish whatever the PC's language.
const QLocale& spanish();

// "lunes 5 de abril de 2027".
QString longDate(QDate day);

// The red of conflicts and errors, under white text.
inline const QColor kAlarmRed(0xc4, 0x00, 0x00);

// Black or white, whichever reads better on `fill`.
QColor textOn(const QColor& fill);

// The red of a warning text, readable on the window's own background.
QColor badText(const QWidget& on);

// The colour of each schedule: "guardado" and "silencio" have their own,
// schedule files take light fills in turn, in the order the window first
// met them, and keep them while it is open.
class ScheduleColours {
public:
    // Gives the values not met before their turn.
    void meet(const std::vector<DayValue>& values);
    QColor of(const DayValue& value) const;
    // The legend of `values` and of the grid's marks, as rich text.
    QString legend(const std::vector<DayValue>& values) const;

private:
    QStringList order_; // by name
};

} // namespace horvex
