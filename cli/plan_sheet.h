#pragma once

#include "calendar/plan.h"

#include <QByteArray>
#include <QDate>

class QPagedPaintDevice;

namespace horvex {

// The plan on paper, for the staff room: up to 12 months a page, each day
// in its schedule's colour (as the calendar window shows it) with its mark,
// so it reads in black and white too; under them the legend, above them
// the months' span, the calendar's file and the day it was printed. Painted
// on any paged device (a PDF, a printer) whatever its page; returns the
// number of pages. Throws Failure when the device takes no painting.
int paintPlan(QPagedPaintDevice& device, const Calendar& calendar, const MonthSpan& span,
              QDate printedOn);

// The plan as a PDF on A4 landscape pages. Needs a QGuiApplication (for the
// fonts), not a display.
QByteArray planPdf(const Calendar& calendar, const MonthSpan& span, QDate printedOn);

// Months on one page.
inline constexpr int kMonthsPerPage = 12;

} // namespace horvex
