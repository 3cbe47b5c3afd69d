#include "calendar/upload_decision.h"

#include "calendar/ready_until.h"
#include "calendar/rolling_day.h"
#include "schedule/failure.h"
#include "schedule/lists.h"

#include <QTimeZone>
#include <algorithm>
#include <cstdlib>

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

QString offsetText(int seconds) {
    return QStringLiteral("UTC%1%2:%3")
        .arg(seconds < 0 ? QLatin1Char('-') : QLatin1Char('+'))
        .arg(twoDigitText(std::abs(seconds) / 3600), twoDigitText(std::abs(seconds) % 3600 / 60));
}

int secondsOf(QTime t) {
    return t.msecsSinceStartOfDay() / 1000;
}

// The bells expected on `day`: none on a free day. Throws Failure when the
// day's schedule cannot be read.
std::vector<Bell> expectedOn(const Expectation& e, QDate day) {
    if (!e.calendar)
        return bellsOf(e.fixed);
    const DayChoice choice = e.calendar->day(day);
    if (choice.value.kind == DayValue::Kind::Libre)
        return {};
    return bellsOfDay(choice);
}

bool freeDay(const Expectation& e, QDate day) {
    return e.calendar && e.calendar->day(day).value.kind == DayValue::Kind::Libre;
}

// A bell less than a minute from `now`, in words: the calendar's own, on the
// days around `now`, or the clock's at its own time (which differs from the
// PC's after a change of UTC offset).
std::optional<QString> bellNear(const QDateTime& now, const std::optional<HeldUpload>& held,
                                const Expectation& e) {
    for (int d = -1; d <= 1; ++d) {
        const QDate day = now.date().addDays(d);
        for (const Bell& b : expectedOn(e, day))
            if (std::abs(now.secsTo(QDateTime(day, b.time, now.timeZone()))) < kBellMargin)
                return QStringLiteral("%1 tiene un timbre el %2")
                    .arg(e.source, momentText(QDateTime(day, b.time)));
    }
    if (!held)
        return std::nullopt;
    try {
        const QTime t = now.toOffsetFromUtc(held->at.offsetFromUtc()).time();
        for (const Bell& b : bellsOf(held->schedule)) {
            const int apart = std::abs(secondsOf(t) - secondsOf(b.time));
            if (std::min(apart, kDaySeconds - apart) < kBellMargin)
                return QStringLiteral("el reloj tiene un timbre a las %1 (a su hora)")
                    .arg(clockText(b.time));
        }
    } catch (const Failure&) {
        // What cannot be read has no bells to keep away from.
    }
    return std::nullopt;
}

// The last bell still to ring today after the minute of `now`, of the
// calendar or of the clock: none on a free day, when no class is disturbed.
std::optional<QTime> lastBellToday(const QDateTime& now, const HeldUpload& held,
                                   const Expectation& e) {
    if (freeDay(e, now.date()))
        return std::nullopt;
    std::optional<QTime> last;
    std::vector<Bell> bells = expectedOn(e, now.date());
    const std::vector<Bell> clock = bellsOf(held.schedule);
    bells.insert(bells.end(), clock.begin(), clock.end());
    for (const Bell& b : bells)
        if (minuteOf(b.time) > minuteOf(now.time()) && (!last || b.time > *last))
            last = b.time;
    return last;
}

// The last minute an upload at `now` keeps right: the same time tomorrow,
// or on the next school day after free days.
QDateTime horizonOf(const QDateTime& now, const Expectation& e) {
    if (!e.calendar)
        return now.addDays(1);
    return QDateTime(nextSchoolDay(*e.calendar, now.date().addDays(1)).date, now.time(),
                     now.timeZone());
}

// The last bell of a held schedule after the minute of `t` the same day.
std::optional<QTime> lastBellAfter(QTime t, const ClockSchedule& schedule) {
    std::optional<QTime> last;
    for (const Bell& b : bellsOf(schedule))
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

// Whether an upload now keeps the clock right past `d`: one that would ring
// otherwise as early (a change of UTC offset the clock cannot know of yet,
// in a holiday) changes nothing, and is not sent again and again.
bool fixedByUploadNow(const QDateTime& now, const Divergence& d, const QDateTime& from,
                      const QDateTime& horizon, const Expectation& e) {
    const ClockSchedule fresh = e.calendar ? rollingDay(*e.calendar, now).schedule : e.fixed;
    const HeldUpload sent{now, fresh, false, {}, {}};
    const auto after = firstDivergence(e.calendar, e.fixed, sent, from, horizon, e.source);
    return !after || after->at > d.at;
}

// What one run decides, before it says when it will upload.
struct Step {
    Verdict verdict = Verdict::Keep;
    QString reason;
    // Keep: a difference that waits for the end of the day's bells.
    std::optional<Divergence> waiting = {};
    std::optional<QTime> lastBell = {};
    // Wait: the bell that is near, in words.
    QString near = {};
};

// Whether an upload is due and why, before any bell is looked at.
Step due(const QDateTime& now, const std::optional<HeldUpload>& held, const Expectation& e) {
    if (!held)
        return {Verdict::Upload, QStringLiteral("no consta ningún envío completo al reloj")};
    if (!held->doubt.isEmpty())
        return {Verdict::Upload, held->doubt};
    const QDateTime heldHere = held->at.toOffsetFromUtc(now.offsetFromUtc());
    if (heldHere.date() != now.date())
        return {Verdict::Upload,
                QStringLiteral("todavía no se ha enviado nada hoy (el último envío fue el %1)")
                    .arg(momentText(heldHere))};
    if (held->at.offsetFromUtc() != now.offsetFromUtc())
        return {Verdict::Upload,
                QStringLiteral("la hora del PC pasó de %1 a %2 desde el último envío (el %3)")
                    .arg(offsetText(held->at.offsetFromUtc()), offsetText(now.offsetFromUtc()),
                         momentText(heldHere))};
    if (held->fromWindow) {
        const std::optional<QTime> last = lastBellAfter(heldHere.time(), held->schedule);
        if (last && minuteOf(now.time()) <= minuteOf(*last))
            return {Verdict::Keep,
                    QStringLiteral("El envío desde la ventana del %1 manda hasta su último timbre "
                                   "de hoy, a las %2: no se envía nada.")
                        .arg(momentText(heldHere), clockText(*last))};
    }
    // Seen from the end of the margin: a bell of the next minute rings
    // before any upload could change it.
    const QDateTime horizon = horizonOf(now, e);
    const QDateTime from = now.addSecs(kBellMargin);
    const auto d = firstDivergence(e.calendar, e.fixed, *held, from, horizon, e.source);
    if (d && !fixedByUploadNow(now, *d, from, horizon, e))
        return {Verdict::Keep,
                QStringLiteral("Lo que tiene el reloj sonará distinto %1 el %2 (%3), pero un "
                               "envío ahora sonaría igual de distinto: no se envía nada.")
                    .arg(of(e.source), momentText(d->at), d->text)};
    if (d) {
        const std::optional<QTime> last = lastBellToday(now, *held, e);
        if (now.secsTo(d->at) > kSoon && last)
            return {Verdict::Keep, {}, d, last, {}};
        return {Verdict::Upload,
                QStringLiteral("lo que tiene el reloj sonaría distinto %1 el %2: %3")
                    .arg(of(e.source), momentText(d->at), d->text)};
    }
    return {Verdict::Keep,
            QStringLiteral("El reloj tiene lo enviado %1 el %2 y suena como %3 hasta el %4: no "
                           "se envía nada.")
                .arg(sender(*held), momentText(heldHere), e.source, momentText(horizon))};
}

Step decideAt(const QDateTime& now, const std::optional<HeldUpload>& held, const Expectation& e) {
    Step step;
    try {
        step = due(now, held, e);
    } catch (const Failure& f) {
        step = {Verdict::Upload,
                QStringLiteral("no se sabe qué suena con lo que tiene el reloj (%1)")
                    .arg(f.description())};
    }
    if (step.verdict != Verdict::Upload)
        return step;
    try {
        if (const std::optional<QString> near = bellNear(now, held, e)) {
            step.verdict = Verdict::Wait;
            step.near = *near;
        }
    } catch (const Failure&) {
        // A day that cannot be read has no bells to keep away from.
    }
    return step;
}

// When the timer will upload, deciding again at each of its next runs (for
// a day) as if nothing changed meanwhile; in words.
QString whenSent(const QDateTime& now, const std::optional<HeldUpload>& held, const Expectation& e,
                 const std::optional<QTime>& lastBell) {
    constexpr int kRunsAhead = 24 * 4;
    QDateTime run = nextTimedRun(now);
    for (int i = 0; i < kRunsAhead; ++i, run = nextTimedRun(run)) {
        if (decideAt(run, held, e).verdict != Verdict::Upload)
            continue;
        const QString at = run.date() == now.date()
                               ? QStringLiteral("a las ") + clockText(run.time())
                               : QStringLiteral("el ") + momentText(run);
        QString text = (i == 0 ? QStringLiteral("se enviará en la próxima pasada, ")
                               : QStringLiteral("se enviará ")) +
                       at;
        if (lastBell && run.date() == now.date() && minuteOf(run.time()) > minuteOf(*lastBell))
            text +=
                QStringLiteral(", después del último timbre de hoy (%1)").arg(clockText(*lastBell));
        return text;
    }
    return QStringLiteral("la próxima pasada del temporizador lo vuelve a mirar");
}

} // namespace

UploadDecision decideUpload(const QDateTime& now, const std::optional<HeldUpload>& held,
                            const Expectation& expected) {
    const Step step = decideAt(now, held, expected);
    switch (step.verdict) {
    case Verdict::Upload:
        return {Verdict::Upload, step.reason};
    case Verdict::Wait:
        return {Verdict::Wait,
                QStringLiteral("Hace falta enviar (%1), pero %2, a menos de un minuto: %3.")
                    .arg(step.reason, step.near, whenSent(now, held, expected, {}))};
    case Verdict::Keep:
        break;
    }
    if (!step.waiting)
        return {Verdict::Keep, step.reason};
    return {Verdict::Keep,
            QStringLiteral("Lo que tiene el reloj sonará distinto %1 el %2 (%3): %4, para no "
                           "interrumpir las clases.")
                .arg(of(expected.source), momentText(step.waiting->at), step.waiting->text,
                     whenSent(now, held, expected, step.lastBell))};
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
                       .arg(momentText(held->at.toLocalTime()), sender(*held), bells);
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
