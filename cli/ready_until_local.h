#pragma once
// Stand-in for calendar/ready_until.h until it is merged.
#include "calendar/calendar.h"
#include "calendar/rolling_day.h"
#include "calendar/upload_decision.h"
#include "schedule/failure.h"

#include <map>
#include <set>

namespace horvex {

inline constexpr int kReadyDays = 31;

inline std::optional<QDateTime> readyUntil(const Calendar* calendar, const ClockSchedule& stored,
                                           const std::optional<HeldUpload>& held,
                                           const QDateTime& now) {
    if (!held || !held->doubt.isEmpty())
        return now;
    const auto keys = [](const ClockSchedule& s) {
        std::map<int, bool> bells;
        for (const Bell& b : bellsOf(s))
            bells[minuteOf(b.time)] = b.longRing;
        return bells;
    };
    const std::map<int, bool> has = keys(held->schedule);
    for (int d = 0; d < kReadyDays; ++d) {
        const QDate day = now.date().addDays(d);
        const int from = d == 0 ? minuteOf(now.time()) : 0;
        const std::optional<ClockSchedule> w = calendar ? calendar->day(day).schedule : stored;
        if (!w)
            throw Failure(QStringLiteral("el horario del %1 no se puede leer")
                              .arg(day.toString(Qt::ISODate)));
        const std::map<int, bool> wants = keys(*w);
        std::set<int> differ;
        for (const auto& [m, longRing] : has)
            if (!wants.contains(m) || wants.at(m) != longRing)
                differ.insert(m);
        for (const auto& [m, longRing] : wants)
            if (!has.contains(m) || (longRing ? held->schedule.longRing != w->longRing
                                              : held->schedule.shortRing != w->shortRing))
                differ.insert(m);
        if (const auto m = differ.lower_bound(from); m != differ.end())
            return QDateTime(day, QTime(*m / 60, *m % 60));
    }
    return std::nullopt;
}

inline QString readyUntilText(const std::optional<QDateTime>& until, const QDateTime& now) {
    const auto when = [](const QDateTime& t) {
        return t.toString(QStringLiteral("yyyy-MM-dd 'a las' HH:mm"));
    };
    if (!until)
        return QStringLiteral("listo para %1 días, hasta el %2 por lo menos")
            .arg(kReadyDays)
            .arg(when(now.addDays(kReadyDays)));
    if (*until == now)
        return QStringLiteral("no está listo: no se sabe qué tiene el reloj");
    return QStringLiteral("listo hasta el ") + when(*until);
}

} // namespace horvex
