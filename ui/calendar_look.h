#pragma once

#include <QColor>
#include <QDate>
#include <QLocale>
#include <QString>

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

} // namespace horvex
