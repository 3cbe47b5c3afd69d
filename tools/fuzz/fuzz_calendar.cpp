// libFuzzer target: arbitrary bytes as a schedule file, a calendar file and
// an iCalendar file. Each may name problems; none may crash or hang, and a
// readable schedule written back reads back the same.

#include "calendar/calendar_rules.h"
#include "calendar/ics.h"
#include "schedule/readable_schedule.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace horvex;
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const ParsedSchedule schedule = parseSchedule(bytes, true);
    const QByteArray written = readableScheduleText(schedule.texts);
    if (schedule.problems.empty() &&
        readableScheduleText(parseSchedule(written, true).texts) != written)
        std::abort();
    (void)parseCalendarRules(bytes);
    const IcsCalendar ics = IcsCalendar::parse(bytes);
    (void)ics.occurrences(QDate(2027, 1, 1), QDate(2027, 12, 31));
    return 0;
}
