#pragma once

#include "schedule/schedule_file.h"

#include <QByteArray>
#include <QDate>
#include <QString>
#include <vector>

namespace horvex {

// What a day uses: the stored schedule, no bell at all, a schedule file, or
// nothing in particular: on a free day ("libre") nobody is at school, so the
// clock may ring what the next school day needs.
struct DayValue {
    enum class Kind { Guardado, Silencio, File, Libre };
    Kind kind = Kind::Guardado;
    QString file; // as the calendar writes it; relative to the calendar's folder

    // "guardado", "silencio", "libre" or the file as written.
    QString name() const;
    friend bool operator==(const DayValue&, const DayValue&) = default;
};

// "silencio", "guardado", "libre" (whatever the case) or a schedule file.
DayValue dayValueNamed(const QString& name);

// The sections of a calendar file.
inline const QString kSemanaSection = QStringLiteral("Semana");
inline const QString kFechasSection = QStringLiteral("Fechas");
inline const QString kCalendariosSection = QStringLiteral("Calendarios");

// One line of calendario.ini that gives days a schedule.
struct CalendarRule {
    enum class Kind { Date, Range, Calendar, Weekday };
    Kind kind = Kind::Date;
    int line = 0;
    QString key; // as written: "2027-03-17", "2027-03-29..2027-04-05", "festivos.ics", "viernes"
    DayValue value;
    QDate first; // Date and Range
    QDate last;
    int weekday = 0; // Weekday: 1 Monday to 7 Sunday

    // "[Fechas] 2027-03-17".
    QString name() const;
    // "[Fechas] 2027-03-17=examenes.ini (línea 9)".
    QString describe() const;
};

// A calendar file, line by line:
//
//   [Semana]        lunes=guardado ... domingo=silencio (no accents)
//   [Fechas]        2027-03-17=examenes.ini, 2027-03-29..2027-04-05=silencio
//   [Calendarios]   festivos.ics=silencio
//
// Values are a schedule file, "silencio" or "guardado"; comments start with
// ";". Every line that is wrong is named: an unknown section or weekday, a
// date that does not exist, a range that ends before it starts.
struct ParsedCalendar {
    std::vector<CalendarRule> rules;
    std::vector<LineProblem> problems;
};

ParsedCalendar parseCalendarRules(const QByteArray& bytes);

// The weekday as the calendar writes it, 1 Monday to 7 Sunday: "miercoles".
QString weekdayKey(int weekday);

// The [Fechas] key of the days first..last: "2027-03-17", or
// "2027-03-29..2027-04-05" for more than one.
QString datesKey(QDate first, QDate last);

} // namespace horvex
