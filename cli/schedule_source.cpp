#include "cli/schedule_source.h"

#include "calendar/ready_until.h"
#include "calendar/rolling_day.h"
#include "clocklink/frame.h"
#include "schedule/clock_display.h"
#include "schedule/failure.h"
#include "schedule/lists.h"
#include "schedule/reg_sett.h"
#include "schedule/reg_store.h"
#include "schedule/schedule_file.h"

#include <QFileInfo>

namespace horvex::cli {

namespace {

// Errors named in a refusal; --check names them all.
constexpr std::size_t kErrorsNamed = 10;

QString shownText(const ListRange& list, const QString& stored) {
    return list.offers(stored) ? stored : QString();
}

QString errorsText(const QString& file, const std::vector<CalendarProblem>& errors) {
    QStringList lines{QStringLiteral("%1 tiene errores: no se envía nada y el reloj sigue con lo "
                                     "que tiene (horvex --check los muestra)")
                          .arg(file)};
    for (std::size_t i = 0; i < std::min(errors.size(), kErrorsNamed); ++i)
        lines << QStringLiteral("  ") + errors[i].toString();
    if (errors.size() > kErrorsNamed)
        lines << QStringLiteral("  y %1 más").arg(errors.size() - kErrorsNamed);
    return lines.join(QLatin1Char('\n'));
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

QByteArray frameAt(const ClockSchedule& schedule, const QTime& t) {
    Module1 m;
    MostrarHora(m, [&t] { return t; });
    return buildFrame(schedule, m.HoraAct, m.MinAct, m.SegAct);
}

ClockSchedule storedSchedule() {
    RegStore store;
    Module1 m;
    LoadRegSett(m, store);
    return asShown(m);
}

std::optional<Calendar> loadCalendar(const QString& file, const ClockSchedule& stored,
                                     std::optional<FetchWhen> fetch) {
    const QString path = file.isEmpty() ? defaultCalendarFile() : file;
    const QFileInfo info(path);
    if (file.isEmpty() && !info.exists() && !info.isSymLink())
        return std::nullopt;
    if (fetch)
        fetchCalendars(path, *fetch);
    return Calendar::load(path, stored, true);
}

std::optional<QString> copiesLine(const Calendar& calendar) {
    if (calendar.copies().empty())
        return std::nullopt;
    return QStringLiteral("Copias de los .ics: ") +
           copiesText(calendar.copies(), QDateTime::currentDateTime());
}

SyncSource::SyncSource(const ClockSchedule& stored, const QString& calendarFile,
                       const QString& scheduleFile, std::optional<FetchWhen> fetch)
    : fixed_(stored)
    , name_(QStringLiteral("el horario guardado")) {
    if (!scheduleFile.isEmpty()) {
        fixed_ = readScheduleFile(scheduleFile);
        name_ = QStringLiteral("el horario de %1").arg(scheduleFile);
        rules_ = kScheduleFileRule + QLatin1Char(' ') + scheduleFile;
        return;
    }
    calendar_ = loadCalendar(calendarFile, stored, fetch);
    if (!calendar_)
        return;
    name_ = QStringLiteral("el calendario");
    if (const std::vector<CalendarProblem> errors = calendar_->errors(); !errors.empty())
        throw Failure(errorsText(calendar_->file(), errors));
}

Sending SyncSource::at(const QDateTime& t) const {
    if (!calendar_)
        return {fixed_, rules_, {}};
    const RollingDay day = rollingDay(*calendar_, t);
    // Working out the days can find errors the reading did not.
    if (const std::vector<CalendarProblem> errors = calendar_->errors(); !errors.empty())
        throw Failure(errorsText(calendar_->file(), errors));
    // The record says which copy of each .ics the bells came from.
    QString rules = rulesText(day);
    if (const QString copies = copiesRecordText(calendar_->copies()); !copies.isEmpty())
        rules += QStringLiteral("; ") + copies;
    return {day.schedule, rules, leftOutText(day)};
}

std::optional<HeldUpload> heldUpload(const UploadRecord& record) {
    return heldUpload(record.recent(kRecordLookBack));
}

std::optional<HeldUpload> heldUpload(const QList<RecordedUpload>& uploads) {
    using State = RecordedUpload::State;
    QString doubt;
    for (auto u = uploads.crbegin(); u != uploads.crend(); ++u) {
        const UploadOutcome& o = u->outcome;
        if ((u->state == State::Cut || u->state == State::Interrupted) && doubt.isEmpty())
            doubt = QStringLiteral("el envío del %1 salió a medias: no se sabe qué tiene el reloj")
                        .arg(momentText(o.at.toLocalTime()));
        if (u->state != State::Sent)
            continue;
        const std::optional<ClockSchedule> schedule = scheduleOfFrame(o.frame);
        if (!schedule && doubt.isEmpty())
            doubt = QStringLiteral("el registro no dice qué trama llevó el envío del %1")
                        .arg(momentText(o.at.toLocalTime()));
        return HeldUpload{o.at, schedule.value_or(unsetSchedule()),
                          o.origin == QLatin1String("ventana"), o.origin, doubt};
    }
    return std::nullopt;
}

Expectation SyncSource::expectation() const {
    return {calendar_ ? &*calendar_ : nullptr, fixed_, name_};
}

TimedRun timedRun(const SyncSource& source, const QDateTime& at) {
    TimedRun run;
    run.held = heldUpload(UploadRecord());
    run.decision = decideUpload(at, run.held, source.expectation());
    return run;
}

QString readyText(const SyncSource& source, const std::optional<HeldUpload>& held,
                  const QDateTime& now) {
    const Expectation e = source.expectation();
    try {
        return readyUntilText(readyUntil(e.calendar, e.fixed, held, now), now);
    } catch (const Failure& f) {
        return QStringLiteral("no se sabe hasta cuándo está listo: %1").arg(f.description());
    }
}

QString readySentence(const SyncSource& source, const std::optional<HeldUpload>& held,
                      const QDateTime& now) {
    const QString text = readyText(source, held, now);
    return text.left(1).toUpper() + text.mid(1) + QLatin1Char('.');
}

} // namespace horvex::cli
