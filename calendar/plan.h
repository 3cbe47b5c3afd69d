#pragma once

#include "calendar/calendar.h"

#include <QDate>
#include <QString>

namespace horvex {

// The month as cal draws it, Monday first, each day followed by the mark of
// its schedule; a legend of the marks; then the 7 days from `today`, one a
// line. A day with a conflict is marked "!", one whose schedule file has
// problems "?".
//
//            marzo 2027
//   lu  ma  mi  ju  vi  sá  do
//    1.  2.  3.  4.  5V  6-  7-
QString planText(const Calendar& calendar, int year, int month, QDate today);

// One day: the date, its weekday and its schedule on the first line, then
// the rule that chose it and the day's bells.
QString dayText(const Calendar& calendar, QDate date);

} // namespace horvex
