#include "calendar/ready_until.h"

#include "calendar/rolling_day.h"

#include <QHash>
#include <QTimeZone>
#include <algorithm>
#include <map>

namespace horvex {

namespace {

constexpr qint64 kMinuteMs = 60 * 1000;

struct Ring {
    bool longRing = false;
    QString length;
    friend bool operator==(const Ring&, const Ring&) = default;
    friend bool operator<(const Ring& a, const Ring& b) {
        return std::pair(a.longRing, a.length) < std::pair(b.longRing, b.length);
    }
};

// The rings of each minute, by minutes since the epoch.
using Rings = std::map<qint64, std::vector<Ring>>;

void add(Rings& rings, const QDateTime& at, const Bell& b, const ClockSchedule& s) {
    std::vector<Ring>& here = rings[minuteKey(at)];
    const Ring r{b.longRing, b.longRing ? s.longRing : s.shortRing};
    if (std::find(here.begin(), here.end(), r) == here.end()) {
        here.push_back(r);
        std::sort(here.begin(), here.end());
    }
}

bool libre(const Calendar* calendar, QDate date) {
    return calendar && calendar->day(date).value.kind == DayValue::Kind::Libre;
}

// What should ring from `from` to `to` (minute keys), day by day in the zone
// of `now`; a time that does not exist on a day (the hour skipped in spring)
// does not ring.
Rings wanted(const Calendar* calendar, const ClockSchedule& expected, const QDateTime& now,
             qint64 from, qint64 to) {
    Rings rings;
    const QTimeZone zone = now.timeZone();
    const QDate last = QDateTime::fromMSecsSinceEpoch(to * kMinuteMs, zone).date();
    for (QDate d = QDateTime::fromMSecsSinceEpoch(from * kMinuteMs, zone).date(); d <= last;
         d = d.addDays(1)) {
        DayChoice day{d, {}, {}, 0, {}, expected};
        if (calendar) {
            day = calendar->day(d);
            if (day.value.kind == DayValue::Kind::Libre)
                continue;
        }
        for (const Bell& b : bellsOfDay(day)) {
            const QDateTime at(d, b.time, zone);
            const qint64 key = minuteKey(at);
            if (at.time() == b.time && key >= from && key <= to)
                add(rings, at, b, *day.schedule);
        }
    }
    return rings;
}

// What a clock holding `held` rings from `from` to `to`, at its own time,
// leaving out the minutes of libre days.
Rings ringing(const Calendar* calendar, const HeldUpload& held, const QDateTime& now, qint64 from,
              qint64 to) {
    Rings rings;
    QHash<QDate, bool> free; // asked once a day, not once a bell
    const auto isFree = [&](QDate d) {
        if (!free.contains(d))
            free.insert(d, libre(calendar, d));
        return free.value(d);
    };
    const QTimeZone clockZone(held.at.offsetFromUtc());
    const std::vector<Bell> bells = bellsOf(held.schedule);
    const QDate last = QDateTime::fromMSecsSinceEpoch(to * kMinuteMs, clockZone).date();
    for (QDate d = QDateTime::fromMSecsSinceEpoch(from * kMinuteMs, clockZone).date(); d <= last;
         d = d.addDays(1))
        for (const Bell& b : bells) {
            const QDateTime at(d, b.time, clockZone);
            const qint64 key = minuteKey(at);
            if (key >= from && key <= to && !isFree(at.toTimeZone(now.timeZone()).date()))
                add(rings, at, b, held.schedule);
        }
    return rings;
}

QString ringText(QTime t, const Ring& r) {
    return Bell{t, r.longRing, {}, {}}.toString();
}

QString differenceText(QTime t, const std::vector<Ring>& has, const std::vector<Ring>& wants,
                       const QString& source) {
    for (const Ring& h : has) {
        if (std::find(wants.begin(), wants.end(), h) != wants.end())
            continue;
        const auto same = std::find_if(wants.begin(), wants.end(),
                                       [&](const Ring& w) { return w.longRing == h.longRing; });
        if (same != wants.end())
            return QStringLiteral("timbre %1 %2 en el reloj y %3 en %4")
                .arg(Bell{t, h.longRing, {}, {}}.ring(), h.length, same->length, source);
        return QStringLiteral("el reloj tiene %1 y %2 no").arg(ringText(t, h), source);
    }
    for (const Ring& w : wants)
        if (std::find(has.begin(), has.end(), w) == has.end())
            return QStringLiteral("%1 tiene %2 y el reloj no").arg(source, ringText(t, w));
    return {};
}

QString when(const QDateTime& t) {
    return QStringLiteral("el ") + momentText(t);
}

} // namespace

std::optional<Divergence> firstDivergence(const Calendar* calendar, const ClockSchedule& expected,
                                          const HeldUpload& held, const QDateTime& now,
                                          const QDateTime& until, const QString& source) {
    const qint64 from = minuteKey(now) + 1;
    const qint64 to = minuteKey(until);
    if (to < from)
        return std::nullopt;
    const Rings wants = wanted(calendar, expected, now, from, to);
    const Rings has = ringing(calendar, held, now, from, to);
    const std::vector<Ring> none;
    auto w = wants.begin();
    auto h = has.begin();
    while (w != wants.end() || h != has.end()) {
        const qint64 key = h == has.end()     ? w->first
                           : w == wants.end() ? h->first
                                              : std::min(w->first, h->first);
        const std::vector<Ring>& hs = h != has.end() && h->first == key ? (h++)->second : none;
        const std::vector<Ring>& ws = w != wants.end() && w->first == key ? (w++)->second : none;
        if (hs != ws) {
            const QDateTime at = QDateTime::fromMSecsSinceEpoch(key * kMinuteMs, now.timeZone());
            return Divergence{at, differenceText(at.time(), hs, ws, source)};
        }
    }
    return std::nullopt;
}

std::optional<QDateTime> readyUntil(const Calendar* calendar, const ClockSchedule& stored,
                                    const std::optional<HeldUpload>& held, const QDateTime& now) {
    if (!held || !held->doubt.isEmpty())
        return now;
    const std::optional<Divergence> d = firstDivergence(
        calendar, stored, *held, now, now.addDays(kReadyDays), QStringLiteral("el calendario"));
    if (!d)
        return std::nullopt;
    return d->at;
}

QString readyUntilText(const std::optional<QDateTime>& until, const QDateTime& now) {
    if (!until)
        return QStringLiteral("listo para %1 días, hasta %2 por lo menos")
            .arg(kReadyDays)
            .arg(when(now.addDays(kReadyDays)));
    if (minuteKey(*until) <= minuteKey(now))
        return QStringLiteral("no está listo: no se sabe qué tiene el reloj");
    return QStringLiteral("listo hasta ") + when(*until);
}

} // namespace horvex
