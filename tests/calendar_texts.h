#pragma once

// What the calendar suites build their cases from: iCalendar texts, and
// schedules in a shorthand that reads like the bells they hold.

#include "schedule/module1.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace horvex::testing {

inline QByteArray ics(const QByteArray& events) {
    return "BEGIN:VCALENDAR\nVERSION:2.0\nPRODID:-//colegio//ES\n" + events + "END:VCALENDAR\n";
}

inline QByteArray oneDay(const char* summary, const char* day) {
    return QByteArray("BEGIN:VEVENT\nSUMMARY:") + summary + "\nDTSTART;VALUE=DATE:" + day +
           "\nEND:VEVENT\n";
}

inline QByteArray allDay(const char* summary, const char* start, const char* end) {
    return QByteArray("BEGIN:VEVENT\nSUMMARY:") + summary + "\nDTSTART;VALUE=DATE:" + start +
           "\nDTEND;VALUE=DATE:" + end + "\nEND:VEVENT\n";
}

// "02/05 08:00 12:00L": ring lengths, then bells (L: long) from slot 0.
inline ClockSchedule schedule(const QString& shorthand) {
    ClockSchedule s = unsetSchedule();
    const QStringList words = shorthand.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    s.shortRing = words[0].section(QLatin1Char('/'), 0, 0);
    s.longRing = words[0].section(QLatin1Char('/'), 1);
    for (qsizetype i = 1; i < words.size(); ++i)
        s.alarms[static_cast<std::size_t>(i - 1)] = {words[i].mid(0, 2), words[i].mid(3, 2),
                                                     words[i].endsWith(QLatin1Char('L')) ? 1 : 0};
    return s;
}

// The same form back, from the slots in order.
inline QString shorthand(const ClockSchedule& s) {
    QString out = s.shortRing + QLatin1Char('/') + s.longRing;
    for (const AlarmSlot& a : s.alarms)
        if (a.hour != kUnsetHour)
            out += QStringLiteral(" %1:%2%3").arg(a.hour, a.minute, a.check == 1 ? "L" : "");
    return out;
}

} // namespace horvex::testing
