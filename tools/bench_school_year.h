#pragma once

// The school year the benchmarks read: a calendar with weekday rules, dates,
// the summer and a holiday .ics of 2,000 all-day events (some repeating,
// moved or cancelled), with the schedule file it names.

#include <QDate>
#include <QDir>
#include <QFile>
#include <QString>

namespace horvex::bench {

inline constexpr int kEvents = 2000;
inline constexpr int kYear = 2027;

inline QByteArray icsDate(QDate d) {
    return d.toString(QStringLiteral("yyyyMMdd")).toLatin1();
}

// Events spread over the year, one to three days long; every tenth repeats
// weekly, every 50th is cancelled, every 100th has an occurrence moved.
inline QByteArray holidays() {
    QByteArray ics = "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//horvex//bench//ES\r\n";
    for (int i = 0; i < kEvents; ++i) {
        const QDate start = QDate(kYear, 1, 1).addDays((i * 7919) % 365);
        const QByteArray uid = "ev" + QByteArray::number(i);
        ics += "BEGIN:VEVENT\r\nUID:" + uid + "\r\nSUMMARY:Festivo " + QByteArray::number(i) +
               "\r\nDTSTART;VALUE=DATE:" + icsDate(start) +
               "\r\nDTEND;VALUE=DATE:" + icsDate(start.addDays(1 + i % 3)) + "\r\n";
        if (i % 10 == 0)
            ics += "RRULE:FREQ=WEEKLY;COUNT=8\r\n";
        if (i % 50 == 0)
            ics += "STATUS:CANCELLED\r\n";
        ics += "END:VEVENT\r\n";
        if (i % 100 == 10)
            ics += "BEGIN:VEVENT\r\nUID:" + uid +
                   "\r\nRECURRENCE-ID;VALUE=DATE:" + icsDate(start.addDays(7)) +
                   "\r\nDTSTART;VALUE=DATE:" + icsDate(start.addDays(8)) + "\r\nEND:VEVENT\r\n";
    }
    return ics + "END:VCALENDAR\r\n";
}

inline bool writeBenchFile(const QString& file, const QByteArray& bytes) {
    QFile f(file);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

// Writes calendario.ini, viernes.ini and festivos.ics into `folder`;
// returns false when it could not.
inline bool writeSchoolYear(const QDir& folder) {
    return writeBenchFile(folder.filePath(QStringLiteral("calendario.ini")),
                          "[Semana]\nviernes=viernes.ini\nsabado=silencio\ndomingo=silencio\n"
                          "[Fechas]\n2027-03-17=viernes.ini\n2027-07-01..2027-08-31=silencio\n"
                          "[Calendarios]\nfestivos.ics=silencio\n") &&
           writeBenchFile(folder.filePath(QStringLiteral("viernes.ini")),
                          "[Timbres]\ncorto=02\nlargo=05\n08:00\n13:00 largo\n") &&
           writeBenchFile(folder.filePath(QStringLiteral("festivos.ics")), holidays());
}

} // namespace horvex::bench
