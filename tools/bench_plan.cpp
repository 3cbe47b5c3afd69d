// How long the month plan takes for a school year whose holiday calendar
// holds 2,000 all-day events (some repeating, moved or cancelled): reading
// the calendar and the .ics, one month as --plan draws it, the twelve months
// of the year, and the check. Prints figures only; it judges nothing.
// Usage: horvex-bench-plan [runs] (default 5).
#include "calendar/calendar.h"
#include "calendar/plan.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

using namespace horvex;

namespace {

constexpr int kEvents = 2000;
constexpr int kYear = 2027;

QByteArray date(QDate d) {
    return d.toString(QStringLiteral("yyyyMMdd")).toLatin1();
}

// Events spread over the year, one to three days long; every tenth repeats
// weekly, every 50th is cancelled, every 100th has an occurrence moved.
QByteArray holidays() {
    QByteArray ics = "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//horvex//bench//ES\r\n";
    for (int i = 0; i < kEvents; ++i) {
        const QDate start = QDate(kYear, 1, 1).addDays((i * 7919) % 365);
        const QByteArray uid = "ev" + QByteArray::number(i);
        ics += "BEGIN:VEVENT\r\nUID:" + uid + "\r\nSUMMARY:Festivo " + QByteArray::number(i) +
               "\r\nDTSTART;VALUE=DATE:" + date(start) +
               "\r\nDTEND;VALUE=DATE:" + date(start.addDays(1 + i % 3)) + "\r\n";
        if (i % 10 == 0)
            ics += "RRULE:FREQ=WEEKLY;COUNT=8\r\n";
        if (i % 50 == 0)
            ics += "STATUS:CANCELLED\r\n";
        ics += "END:VEVENT\r\n";
        if (i % 100 == 10)
            ics += "BEGIN:VEVENT\r\nUID:" + uid +
                   "\r\nRECURRENCE-ID;VALUE=DATE:" + date(start.addDays(7)) +
                   "\r\nDTSTART;VALUE=DATE:" + date(start.addDays(8)) + "\r\nEND:VEVENT\r\n";
    }
    return ics + "END:VCALENDAR\r\n";
}

bool write(const QString& file, const QByteArray& bytes) {
    QFile f(file);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

// Median and worst of `runs` timings of `step`, in milliseconds.
void measure(const char* what, int runs, const std::function<void()>& step) {
    std::vector<double> ms;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        step();
        ms.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
    }
    std::sort(ms.begin(), ms.end());
    std::printf("%-42s median %8.1f ms, worst %8.1f ms\n", what, ms[ms.size() / 2], ms.back());
}

} // namespace

int main(int argc, char* argv[]) {
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    QTemporaryDir dir;
    const QString calendarFile = dir.filePath(QStringLiteral("calendario.ini"));
    if (!write(calendarFile, "[Semana]\nviernes=viernes.ini\nsabado=silencio\ndomingo=silencio\n"
                             "[Fechas]\n2027-03-17=viernes.ini\n2027-07-01..2027-08-31=silencio\n"
                             "[Calendarios]\nfestivos.ics=silencio\n") ||
        !write(dir.filePath(QStringLiteral("viernes.ini")),
               "[Timbres]\ncorto=02\nlargo=05\n08:00\n13:00 largo\n") ||
        !write(dir.filePath(QStringLiteral("festivos.ics")), holidays())) {
        std::fprintf(stderr, "no se pudieron escribir los archivos en %s\n",
                     qPrintable(dir.path()));
        return 1;
    }
    const ClockSchedule stored = unsetSchedule();
    const QDate today(kYear, 3, 15);
    std::printf("%d events in festivos.ics (%lld bytes), %d runs each\n", kEvents,
                static_cast<long long>(QFile(dir.filePath(QStringLiteral("festivos.ics"))).size()),
                runs);

    measure("read the calendar and festivos.ics", runs,
            [&] { Calendar::load(calendarFile, stored, true); });
    measure("--plan: read, then one month", runs, [&] {
        const Calendar c = Calendar::load(calendarFile, stored, true);
        planText(c, kYear, 3, today);
    });
    measure("read, then the twelve months of the year", runs, [&] {
        const Calendar c = Calendar::load(calendarFile, stored, true);
        for (int month = 1; month <= 12; ++month)
            planText(c, kYear, month, today);
    });
    measure("--check: read, then a year of conflicts", runs, [&] {
        const Calendar c = Calendar::load(calendarFile, stored, true);
        c.check(today);
    });
    return 0;
}
