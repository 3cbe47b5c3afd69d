// How long the month plan takes for a school year whose holiday calendar
// holds 2,000 all-day events (some repeating, moved or cancelled): reading
// the calendar and the .ics, one month as --plan draws it, the twelve months
// of the year, and the check. Prints figures only; it judges nothing.
// Usage: horvex-bench-plan [runs] (default 5).
#include "calendar/calendar.h"
#include "calendar/plan.h"
#include "tools/bench_school_year.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

using namespace horvex;
using namespace horvex::bench;

namespace {

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
    if (!writeSchoolYear(QDir(dir.path()))) {
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
