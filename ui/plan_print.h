#pragma once

#include "calendar/calendar.h"
#include "calendar/plan.h"

#include <QDate>
#include <optional>

class QPrinter;
class QWidget;

namespace horvex {

// The school year a month belongs to, September to June; July and August
// look ahead to the next one.
MonthSpan schoolYearOf(QDate month);

// Asks which months to print, from `proposed`: nothing when cancelled.
std::optional<MonthSpan> askMonths(QWidget* parent, const MonthSpan& proposed);

// Qt's print dialog for `printer`; whether the person went on.
bool askPrinter(QWidget* parent, QPrinter& printer);

} // namespace horvex
