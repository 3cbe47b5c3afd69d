#include "cli/schedule_source.h"

#include "schedule/failure.h"
#include "schedule/lists.h"
#include "schedule/reg_sett.h"
#include "schedule/reg_store.h"
#include "schedule/schedule_file.h"

namespace horvex::cli {

namespace {

QString shownText(const ListRange& list, const QString& stored) {
    return list.offers(stored) ? stored : QString();
}

} // namespace

ClockSchedule asShown(const Module1& m) {
    ClockSchedule shown;
    for (std::size_t i = 0; i < kSlots; ++i)
        shown.alarms[i] = {shownText(kHourList, m.AlaHora[i]), shownText(kMinuteList, m.AlaMin[i]),
                           m.AlaChk[i] == 1 ? 1 : 0};
    shown.shortRing = shownText(kRingList, m.TAlaCorto);
    shown.longRing = shownText(kRingList, m.TAlaLargo);
    return shown;
}

ClockSchedule scheduleToSend(const Request& r) {
    if (!r.schedule.isEmpty())
        return readScheduleFile(r.schedule);
    RegStore store;
    Module1 m;
    LoadRegSett(m, store);
    return asShown(m);
}

} // namespace horvex::cli
