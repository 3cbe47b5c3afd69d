#include "calendar/rolling_day.h"

#include "calendar/spanish_dates.h"
#include "schedule/failure.h"
#include "schedule/lists.h"
#include "schedule/quoted.h"

#include <QFileInfo>
#include <QTimeZone>
#include <algorithm>
#include <optional>

namespace horvex {

namespace {

const ClockSchedule& scheduleOf(const DayChoice& day) {
    if (!day.schedule)
        throw Failure(QStringLiteral("el %1 usa %2, que tiene errores (horvex --check los muestra)")
                          .arg(day.date.toString(Qt::ISODate), day.value.name()));
    return *day.schedule;
}

} // namespace

qint64 minuteKey(const QDateTime& t) {
    constexpr qint64 kMinuteMs = 60 * 1000;
    const qint64 ms = t.toMSecsSinceEpoch();
    return ms >= 0 ? ms / kMinuteMs : (ms - kMinuteMs + 1) / kMinuteMs;
}

QString Bell::ring() const {
    return longRing ? QStringLiteral("largo") : QStringLiteral("corto");
}

QString Bell::toString() const {
    return clockText(time) + QLatin1Char(' ') + ring();
}

QString clockText(QTime t) {
    return t.toString(QStringLiteral("HH:mm"));
}

QString momentText(const QDateTime& t) {
    return t.toString(QStringLiteral("yyyy-MM-dd 'a las' HH:mm"));
}

int minuteOf(QTime t) {
    return t.hour() * 60 + t.minute();
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

namespace {

// "hoy", "mañana" or the weekday, as seen from `at`.
QString dayWord(QDate day, QDate at) {
    if (day == at)
        return QStringLiteral("hoy");
    if (day == at.addDays(1))
        return QStringLiteral("mañana");
    return weekdayKey(day.dayOfWeek());
}

} // namespace

QString rulesText(const RollingDay& r) {
    QStringList parts;
    const auto describe = [&](const DayChoice& day) {
        parts << QStringLiteral("%1 %2 %3: %4")
                     .arg(dayWord(day.date, r.at.date()), day.date.toString(Qt::ISODate),
                          day.value.name(), day.rule);
        for (const QString& other : day.overruled)
            parts << QStringLiteral("conflicto: también %1; gana la escrita después").arg(other);
    };
    describe(r.after);
    if (r.upTo.date != r.after.date)
        describe(r.upTo);
    if (r.freeFirst.isValid())
        parts << QStringLiteral("libres: %1").arg(datesKey(r.freeFirst, r.freeLast));
    if (!r.left.empty())
        parts << QStringLiteral("sin sitio: %1").arg(leftOutText(r));
    return parts.join(QStringLiteral("; "));
}

namespace {

// Where bell `b` of its day sits on the clock, which keeps the UTC offset of
// `at`: its time there, if the clock is to hold it. It is held when it is
// still to come and every earlier time the clock rings that slot falls on a
// free day; a time the day does not have (the hour skipped in spring) is not.
std::optional<QTime> slotOf(const Bell& b, const QDateTime& at, const FreeDay& isFree) {
    const QDateTime rings(b.day, b.time, at.timeZone());
    if (!rings.isValid() || rings.time() != b.time || minuteKey(rings) <= minuteKey(at))
        return std::nullopt;
    const QTimeZone clock(at.offsetFromUtc());
    const QTime slot = rings.toTimeZone(clock).time();
    QDateTime earlier(at.toTimeZone(clock).date(), slot, clock);
    if (minuteKey(earlier) <= minuteKey(at))
        earlier = earlier.addDays(1);
    for (; minuteKey(earlier) < minuteKey(rings); earlier = earlier.addDays(1))
        if (!isFree || !isFree(earlier.toTimeZone(at.timeZone()).date()))
            return std::nullopt;
    return slot;
}

} // namespace

RollingDay rollingDay(const DayChoice& after, const DayChoice& upTo, const QDateTime& at,
                      const FreeDay& isFree) {
    RollingDay r{at, after, upTo, {}, {}, unsetSchedule(), {}, {}, {}};
    std::vector<std::pair<Bell, QTime>> held; // with their slot times
    const auto hold = [&](const DayChoice& day) {
        for (const Bell& b : bellsOfDay(day))
            if (const std::optional<QTime> slot = slotOf(b, at, isFree))
                held.emplace_back(b, *slot);
    };
    hold(after);
    if (upTo.date != after.date)
        hold(upTo);
    // In the order the clock will ring them, the next first.
    const int now = minuteOf(at.toTimeZone(QTimeZone(at.offsetFromUtc())).time());
    const auto ahead = [now](QTime slot) { return (minuteOf(slot) - now + 1439) % 1440; };
    std::stable_sort(held.begin(), held.end(), [&](const auto& x, const auto& y) {
        return ahead(x.second) < ahead(y.second);
    });
    for (std::size_t i = 0; i < held.size(); ++i) {
        if (i >= kSlots) {
            r.left.push_back(held[i].first);
            continue;
        }
        r.bells.push_back(held[i].first);
        const QTime t = held[i].second;
        r.schedule.alarms[i] = {t.toString(QStringLiteral("HH")), t.toString(QStringLiteral("mm")),
                                held[i].first.longRing ? 1 : 0};
    }
    // One pair of ring lengths for the whole upload: the next bell's.
    const bool fromUpTo = !r.bells.empty() && r.bells.front().day != after.date;
    const DayChoice& rings = fromUpTo ? upTo : after;
    r.schedule.shortRing = scheduleOf(rings).shortRing;
    r.schedule.longRing = scheduleOf(rings).longRing;
    r.ringsFrom = rings.value.name();
    return r;
}

DayChoice nextSchoolDay(const Calendar& calendar, QDate from) {
    DayChoice day = calendar.day(from);
    for (int i = 0; i < kFreeDaysAhead && day.value.kind == DayValue::Kind::Libre; ++i)
        day = calendar.day(from.addDays(i + 1));
    return day;
}

RollingDay rollingDay(const Calendar& calendar, const QDateTime& at) {
    const QDate today = at.date();
    const DayChoice upTo = nextSchoolDay(calendar, today.addDays(1));
    const DayChoice todays = calendar.day(today);
    const DayChoice& after = todays.value.kind == DayValue::Kind::Libre ? upTo : todays;
    RollingDay r = rollingDay(after, upTo, at, [&calendar](QDate d) {
        return calendar.day(d).value.kind == DayValue::Kind::Libre;
    });
    const QDate firstFree = after.date == today ? today.addDays(1) : today;
    const QDate lastFree =
        upTo.value.kind == DayValue::Kind::Libre ? upTo.date : upTo.date.addDays(-1);
    if (lastFree >= firstFree) {
        r.freeFirst = firstFree;
        r.freeLast = lastFree;
    }
    return r;
}

QString nextBellText(const Calendar& calendar, const QDateTime& now) {
    try {
        const RollingDay day = rollingDay(calendar, now);
        if (day.bells.empty())
            return QStringLiteral("Próximo timbre: ninguno en las próximas 24 horas.");
        const Bell& bell = day.bells.front();
        const QString when = bell.day == now.date()              ? QStringLiteral("hoy")
                             : bell.day == now.date().addDays(1) ? QStringLiteral("mañana")
                                                                 : longDate(bell.day);
        return QStringLiteral("Próximo timbre: %1 a las %2, %3 (%4).")
            .arg(when, clockText(bell.time), bell.ring(), QFileInfo(bell.schedule).fileName());
    } catch (const Failure& f) {
        return QStringLiteral("Próximo timbre: no se sabe (%1).").arg(f.description());
    }
}

} // namespace horvex
