#include "calendar/upload_decision.h"

#include "calendar/rolling_day.h"
#include "schedule/failure.h"
#include "schedule/lists.h"

#include <algorithm>
#include <cstdlib>
#include <initializer_list>

namespace horvex {

namespace {

constexpr int kDaySeconds = 24 * 60 * 60;
// No upload starts this close to a bell: the clock could miss it or ring it
// twice while it takes the new frame.
constexpr int kBellMargin = 60;
// A difference this close is fixed now; one further off waits for the end of
// the day's bells, so that the clock does not beep in class for a change it
// will only need later. The timer runs every quarter of an hour.
constexpr int kSoon = 20 * 60;

using Verdict = UploadDecision::Verdict;

QString when(const QDateTime& t) {
    return t.toString(QStringLiteral("yyyy-MM-dd 'a las' HH:mm"));
}

QString offsetText(int seconds) {
    return QStringLiteral("UTC%1%2:%3")
        .arg(seconds < 0 ? QLatin1Char('-') : QLatin1Char('+'))
        .arg(twoDigitText(std::abs(seconds) / 3600), twoDigitText(std::abs(seconds) % 3600 / 60));
}

int secondsOf(QTime t) {
    return t.msecsSinceStartOfDay() / 1000;
}

std::optional<Bell> bellNear(QTime t, const std::vector<Bell>& bells) {
    for (const Bell& b : bells) {
        const int apart = std::abs(secondsOf(t) - secondsOf(b.time));
        if (std::min(apart, kDaySeconds - apart) < kBellMargin)
            return b;
    }
    return std::nullopt;
}

// Where the clock holding `held`, which rings the same times every day,
// first rings otherwise than `wanted`, what the next 24 hours should hold:
// how long from `now`, and in words.
struct Difference {
    int in = 0;
    QString text;
};

std::optional<Difference> firstDifference(QTime now, const ClockSchedule& held,
                                          const ClockSchedule& wanted, const QString& source) {
    const auto key = [](const Bell& b) { return std::pair(b.time, b.longRing); };
    const std::vector<Bell> has = bellsOf(held);
    const std::vector<Bell> wants = bellsOf(wanted);
    std::optional<Difference> first;
    const auto consider = [&](QTime t, const QString& text) {
        const int in = (secondsOf(t) - secondsOf(now) + kDaySeconds) % kDaySeconds;
        if (!first || in < first->in)
            first = Difference{in, text};
    };
    for (const Bell& x : has)
        if (std::none_of(wants.begin(), wants.end(),
                         [&](const Bell& y) { return key(x) == key(y); }))
            consider(x.time, QStringLiteral("el reloj tiene %1 y %2 no").arg(x.toString(), source));
    for (const Bell& x : wants)
        if (std::none_of(has.begin(), has.end(), [&](const Bell& y) { return key(x) == key(y); }))
            consider(x.time, QStringLiteral("%1 tiene %2 y el reloj no").arg(source, x.toString()));
    for (const Bell& b : wants) {
        const QString& a = b.longRing ? held.longRing : held.shortRing;
        const QString& w = b.longRing ? wanted.longRing : wanted.shortRing;
        if (a != w)
            consider(
                b.time,
                QStringLiteral("timbre %1 %2 en el reloj y %3 en %4").arg(b.ring(), a, w, source));
    }
    return first;
}

// The last bell any of `schedules` rings after the minute of `t` the same
// day, if one does.
std::optional<QTime> lastBellAfter(QTime t, std::initializer_list<const ClockSchedule*> schedules) {
    std::optional<QTime> last;
    for (const ClockSchedule* s : schedules)
        for (const Bell& b : bellsOf(*s))
            if (minuteOf(b.time) > minuteOf(t) && (!last || b.time > *last))
                last = b.time;
    return last;
}

// "del calendario", "del horario guardado".
QString of(const QString& source) {
    return source.startsWith(QLatin1String("el ")) ? QStringLiteral("del ") + source.mid(3)
                                                   : QStringLiteral("de ") + source;
}

QString sender(const HeldUpload& held) {
    if (held.fromWindow)
        return QStringLiteral("desde la ventana");
    return held.origin == QLatin1String("calendario") ? QStringLiteral("desde el calendario")
                                                      : QStringLiteral("por horvex --sync");
}

// Whether an upload is due and why, before any bell is looked at.
UploadDecision due(const QDateTime& now, const std::optional<HeldUpload>& held,
                   const ClockSchedule& wouldSend, const QString& source) {
    if (!held)
        return {Verdict::Upload, QStringLiteral("no consta ningún envío completo al reloj")};
    if (!held->doubt.isEmpty())
        return {Verdict::Upload, held->doubt};
    const QDateTime heldHere = held->at.toOffsetFromUtc(now.offsetFromUtc());
    if (heldHere.date() != now.date())
        return {Verdict::Upload,
                QStringLiteral("todavía no se ha enviado nada hoy (el último envío fue el %1)")
                    .arg(when(heldHere))};
    if (held->at.offsetFromUtc() != now.offsetFromUtc())
        return {Verdict::Upload,
                QStringLiteral("la hora del PC pasó de %1 a %2 desde el último envío (el %3)")
                    .arg(offsetText(held->at.offsetFromUtc()), offsetText(now.offsetFromUtc()),
                         when(heldHere))};
    if (held->fromWindow) {
        const std::optional<QTime> last = lastBellAfter(heldHere.time(), {&held->schedule});
        if (last && minuteOf(now.time()) <= minuteOf(*last))
            return {Verdict::Keep,
                    QStringLiteral("El envío desde la ventana del %1 manda hasta su último timbre "
                                   "de hoy, a las %2: no se envía nada.")
                        .arg(when(heldHere), clockText(*last))};
    }
    if (const auto d = firstDifference(now.time(), held->schedule, wouldSend, source)) {
        const std::optional<QTime> last = lastBellAfter(now.time(), {&held->schedule, &wouldSend});
        if (d->in > kSoon && last)
            return {Verdict::Keep,
                    QStringLiteral("Lo que tiene el reloj sonará distinto %1 el %2 (%3): se "
                                   "enviará después del último timbre de hoy, a las %4, para "
                                   "no interrumpir las clases.")
                        .arg(of(source), when(now.addSecs(d->in)), d->text, clockText(*last))};
        return {Verdict::Upload,
                QStringLiteral("lo que tiene el reloj sonaría distinto %1 el %2: %3")
                    .arg(of(source), when(now.addSecs(d->in)), d->text)};
    }
    return {Verdict::Keep,
            QStringLiteral("El reloj tiene lo enviado %1 el %2 y suena como %3 en las próximas 24 "
                           "horas: no se envía nada.")
                .arg(sender(*held), when(heldHere), source)};
}

} // namespace

UploadDecision decideUpload(const QDateTime& now, const std::optional<HeldUpload>& held,
                            const ClockSchedule& wouldSend, const QString& source) {
    UploadDecision decision;
    try {
        decision = due(now, held, wouldSend, source);
    } catch (const Failure& f) {
        decision = {Verdict::Upload,
                    QStringLiteral("no se sabe qué suena con lo que tiene el reloj (%1)")
                        .arg(f.description())};
    }
    if (!decision.upload())
        return decision;

    std::optional<Bell> near = bellNear(now.time(), bellsOf(wouldSend));
    if (!near && held) {
        // The clock keeps the time of the last upload: after a change of
        // UTC offset its bells are that far from the PC's.
        try {
            near = bellNear(now.toOffsetFromUtc(held->at.offsetFromUtc()).time(),
                            bellsOf(held->schedule));
        } catch (const Failure&) {
            // What cannot be read has no bells to keep away from.
        }
    }
    if (near)
        return {Verdict::Wait,
                QStringLiteral("Hace falta enviar (%1), pero hay un timbre a las %2, a menos de "
                               "un minuto: se enviará en la próxima pasada.")
                    .arg(decision.reason, clockText(near->time))};
    return decision;
}

QString heldText(const std::optional<HeldUpload>& held) {
    if (!held)
        return QStringLiteral("No consta que el reloj haya recibido entera ninguna trama.");
    QString bells;
    try {
        const std::vector<Bell> b = bellsOf(held->schedule);
        const auto at = [](const Bell& bell) { return clockText(bell.time); };
        bells = b.empty()       ? QStringLiteral("ningún timbre")
                : b.size() == 1 ? QStringLiteral("un timbre, a las %1").arg(at(b.front()))
                                : QStringLiteral("%1 timbres, de las %2 a las %3")
                                      .arg(b.size())
                                      .arg(at(b.front()), at(b.back()));
    } catch (const Failure&) {
        bells = QStringLiteral("timbres que no se pueden leer");
    }
    QString text = QStringLiteral("El reloj tiene desde el %1 lo enviado %2: %3.")
                       .arg(when(held->at.toLocalTime()), sender(*held), bells);
    if (!held->doubt.isEmpty())
        text += QStringLiteral(" Pero %1.").arg(held->doubt);
    return text;
}

QDateTime nextTimedRun(const QDateTime& now) {
    constexpr int kQuarter = 15 * 60;
    const QTime t = now.time();
    const int into = (t.minute() * 60 + t.second()) % kQuarter;
    return now.addMSecs(-t.msec()).addSecs(kQuarter - into);
}

} // namespace horvex
