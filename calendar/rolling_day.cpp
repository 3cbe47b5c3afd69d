#include "calendar/rolling_day.h"

#include "schedule/failure.h"
#include "schedule/lists.h"
#include "schedule/quoted.h"

#include <algorithm>

namespace horvex {

namespace {

const ClockSchedule& scheduleOf(const DayChoice& day) {
    if (!day.schedule)
        throw Failure(QStringLiteral("el %1 usa %2, que tiene errores (horvex --check los muestra)")
                          .arg(day.date.toString(Qt::ISODate), day.value.name()));
    return *day.schedule;
}

std::vector<Bell> bellsOfDay(const DayChoice& day) {
    try {
        std::vector<Bell> bells = bellsOf(scheduleOf(day));
        for (Bell& b : bells) {
            b.day = day.date;
            b.schedule = day.value.name();
        }
        return bells;
    } catch (const Failure& f) {
        throw Failure(QStringLiteral("%1 (%2): %3")
                          .arg(day.value.name(), day.date.toString(Qt::ISODate), f.description()));
    }
}

} // namespace

QString Bell::ring() const {
    return longRing ? QStringLiteral("largo") : QStringLiteral("corto");
}

QString Bell::toString() const {
    return clockText(time) + QLatin1Char(' ') + ring();
}

QString clockText(QTime t) {
    return t.toString(QStringLiteral("HH:mm"));
}

int minuteOf(QTime t) {
    return t.hour() * 60 + t.minute();
}

std::vector<Bell> bellsOf(const ClockSchedule& schedule) {
    std::vector<Bell> bells;
    for (std::size_t i = 0; i < kSlots; ++i) {
        const AlarmSlot& slot = schedule.alarms[i];
        if (!kHourList.offers(slot.hour) || !kMinuteList.offers(slot.minute))
            throw Failure(
                QStringLiteral("%1 no tiene una hora que se pueda enviar (%2)")
                    .arg(slotName(i), quoted(slot.hour + QLatin1Char(':') + slot.minute)));
        const int hour = slot.hour.toInt();
        const int minute = slot.minute.toInt();
        if (hour < 24 && minute < 60)
            bells.push_back({QTime(hour, minute), slot.check == 1, {}, {}});
    }
    std::stable_sort(bells.begin(), bells.end(),
                     [](const Bell& a, const Bell& b) { return a.time < b.time; });
    return bells;
}

QString leftOutText(const RollingDay& r) {
    QStringList bells;
    for (const Bell& b : r.left)
        bells << QStringLiteral("%1 del %2").arg(b.toString(), b.day.toString(Qt::ISODate));
    return bells.join(QStringLiteral(", "));
}

QString rulesText(const RollingDay& r) {
    QStringList parts;
    for (const DayChoice* day : {&r.today, &r.tomorrow}) {
        parts << QStringLiteral("%1 %2 %3: %4")
                     .arg(day == &r.today ? QStringLiteral("hoy") : QStringLiteral("mañana"),
                          day->date.toString(Qt::ISODate), day->value.name(), day->rule);
        for (const QString& other : day->overruled)
            parts << QStringLiteral("conflicto: también %1; gana la escrita después").arg(other);
    }
    if (!r.left.empty())
        parts << QStringLiteral("sin sitio: %1").arg(leftOutText(r));
    return parts.join(QStringLiteral("; "));
}

RollingDay rollingDay(const DayChoice& today, const DayChoice& tomorrow, const QDateTime& at) {
    RollingDay r{at, today, tomorrow, unsetSchedule(), {}, {}, {}};
    const int now = minuteOf(at.time());
    for (const Bell& b : bellsOfDay(today))
        if (minuteOf(b.time) > now)
            r.bells.push_back(b);
    for (const Bell& b : bellsOfDay(tomorrow))
        if (minuteOf(b.time) <= now)
            r.bells.push_back(b);
    if (r.bells.size() > kSlots) {
        r.left.assign(r.bells.begin() + kSlots, r.bells.end());
        r.bells.resize(kSlots);
    }
    for (std::size_t i = 0; i < r.bells.size(); ++i) {
        const Bell& b = r.bells[i];
        r.schedule.alarms[i] = {b.time.toString(QStringLiteral("HH")),
                                b.time.toString(QStringLiteral("mm")), b.longRing ? 1 : 0};
    }
    // One pair of ring lengths for the whole upload: the next bell's.
    const bool fromTomorrow = !r.bells.empty() && minuteOf(r.bells.front().time) <= now;
    const DayChoice& rings = fromTomorrow ? tomorrow : today;
    r.schedule.shortRing = scheduleOf(rings).shortRing;
    r.schedule.longRing = scheduleOf(rings).longRing;
    r.ringsFrom = rings.value.name();
    return r;
}

RollingDay rollingDay(const Calendar& calendar, const QDateTime& at) {
    return rollingDay(calendar.day(at.date()), calendar.day(at.date().addDays(1)), at);
}

} // namespace horvex
