#pragma once

#include "calendar/calendar.h"

#include <QDate>
#include <QSet>
#include <QString>
#include <optional>
#include <variant>
#include <vector>

namespace horvex {

// Months in a row: from `first` (a month's first day), `count` of them.
struct MonthSpan {
    QDate first;
    int count = 1;

    QDate month(int i) const { return first.addMonths(i); }
    QDate last() const { return month(count - 1); }
    // "marzo 2027", or "septiembre 2026 a junio 2027".
    QString title() const;
};

// Two school years; more would be a book, not a plan.
inline constexpr int kMostPlanMonths = 24;

// "2027-03", "2027" (its twelve months) or "2026-09..2027-06": the months,
// or why not, quoting the text.
std::variant<MonthSpan, QString> monthsNamed(const QString& text);

// "marzo", for month 1 to 12.
const QString& monthName(int month);

// The mark the plan gives each day: "." guardado, "-" silencio, for each
// schedule file the first letter of its name that no other mark has taken,
// "!" a conflict, "?" a schedule file with problems.
class PlanMarks {
public:
    explicit PlanMarks(const std::vector<DayValue>& values);

    QChar of(const DayChoice& day) const;

    // One entry of the legend: a value's mark and name, or "!" conflicto,
    // "?" horario con errores (with no value).
    struct Entry {
        QChar mark;
        QString text;
        std::optional<DayValue> value;
    };
    // The entries of the marks in `seen`, the values in the calendar's order.
    std::vector<Entry> legend(const std::vector<DayValue>& values, const QSet<QChar>& seen) const;

private:
    QHash<QString, QChar> marks_; // by the value's name
};

// The month as cal draws it, Monday first, each day followed by its mark; a
// legend of the marks; then the 7 days from `today`, one a line.
//
//            marzo 2027
//   lu  ma  mi  ju  vi  sá  do
//    1.  2.  3.  4.  5V  6-  7-
QString planText(const Calendar& calendar, int year, int month, QDate today);

// Several months so, one after another, with one legend at the end.
QString monthsText(const Calendar& calendar, const MonthSpan& span);

// One day: the date, its weekday and its schedule on the first line, then
// the rule that chose it and the day's bells.
QString dayText(const Calendar& calendar, QDate date);

} // namespace horvex
