// --status: the health of the whole chain from the calendar to the clock,
// as monitoring programs read it (Nagios, Icinga, Zabbix, Checkmk): a first
// line "HORVEX OK - …" with performance data after "|", then the details.
#include "calendar/ready_until.h"
#include "calendar/rolling_day.h"
#include "cli/commands.h"
#include "cli/schedule_source.h"
#include "cli/timed_run_state.h"
#include "cli/timer_query.h"
#include "clocklink/pc_clock.h"
#include "schedule/counted.h"
#include "schedule/failure.h"

#include <algorithm>
#include <array>

namespace horvex::cli {

namespace {

// The monitoring plugins' states, in their exit codes; worst first as
// Checkmk and Icinga add them up: critical, unknown, warning, ok.
enum class Level { Ok = 0, Warning = 1, Critical = 2, Unknown = 3 };

int rank(Level l) {
    constexpr std::array<int, 4> kRank{0, 1, 3, 2};
    return kRank[static_cast<std::size_t>(l)];
}

QString levelName(Level l) {
    constexpr std::array<const char*, 4> kNames{"OK", "WARNING", "CRITICAL", "UNKNOWN"};
    return QLatin1String(kNames[static_cast<std::size_t>(l)]);
}

// How far ahead listo hasta looks, in seconds.
constexpr qint64 kReadySeconds = qint64(kReadyDays) * 24 * 60 * 60;
// A difference this close makes the clock wrong now, not later.
constexpr qint64 kCriticalWithin = 60 * 60;
// The record is read back this far for the failures since the last good upload.

struct Report {
    Level level = Level::Ok;
    QStringList problems; // for the first line, worst first
    QList<int> ranks;     // of each problem
    QStringList details;
    std::optional<qint64> sinceUpload; // seconds
    std::optional<qint64> ready;       // seconds until listo hasta
    QString readyText;                 // "listo hasta el …", for an OK first line

    void add(Level l, const QString& problem) {
        if (rank(l) > rank(level))
            level = l;
        // After those as bad or worse, before the milder ones.
        qsizetype at = 0;
        while (at < ranks.size() && ranks[at] >= rank(l))
            ++at;
        problems.insert(at, problem);
        ranks.insert(at, rank(l));
    }
    // A part of the state that could not be read: said, and the verdict
    // cannot be OK.
    void unreadable(const QString& what, const Failure& f) {
        add(Level::Unknown, QStringLiteral("no se puede leer %1").arg(what));
        details << QStringLiteral("No se puede leer %1: %2.").arg(what, f.description());
    }
};

// The record of uploads, read once so that every part tells of the same
// uploads; or why it could not be read.
struct RecordRead {
    QList<RecordedUpload> uploads;
    std::optional<Failure> failure;
};

RecordRead readRecord() {
    try {
        return {UploadRecord().recent(kRecordLookBack), std::nullopt};
    } catch (const Failure& f) {
        return {{}, f};
    }
}

void clockPart(Report& report, const QDateTime& now, const std::optional<Calendar>& calendar,
               const ClockSchedule& stored, const RecordRead& record) {
    if (record.failure)
        return report.unreadable(QStringLiteral("el registro de envíos"), *record.failure);
    const std::optional<HeldUpload> held = heldUpload(record.uploads);
    report.details << heldText(held);
    if (!held)
        return report.add(Level::Critical, QStringLiteral("no consta que el reloj haya recibido "
                                                          "entera ninguna trama"));
    report.sinceUpload = held->at.secsTo(now);
    if (!held->doubt.isEmpty())
        return report.add(Level::Critical, QStringLiteral("no se sabe qué tiene el reloj"));
    const QString source =
        calendar ? QStringLiteral("el calendario") : QStringLiteral("el horario guardado");
    std::optional<Divergence> first;
    try {
        first = firstDivergence(calendar ? &*calendar : nullptr, stored, *held, now,
                                now.addDays(kReadyDays), source);
    } catch (const Failure& f) {
        return report.unreadable(QStringLiteral("hasta cuándo está listo el reloj"), f);
    }
    const std::optional<QDateTime> until =
        first ? std::optional<QDateTime>(first->at) : std::nullopt;
    report.ready = until ? std::max<qint64>(0, now.secsTo(*until)) : kReadySeconds;
    report.readyText = readyUntilText(until, now);
    report.details << QStringLiteral("%1%2: %3.")
                          .arg(report.readyText.left(1).toUpper(), report.readyText.mid(1),
                               first ? QStringLiteral("entonces %1").arg(first->text)
                                     : QStringLiteral("el reloj suena como %1").arg(source));
    if (until && *report.ready < kCriticalWithin)
        report.add(Level::Critical, QStringLiteral("el reloj suena distinto %1 el %2")
                                        .arg(calendar ? QStringLiteral("del calendario")
                                                      : QStringLiteral("del horario guardado"),
                                             momentText(*until)));
}

// The failed uploads since the last that went out whole, and the last
// timed run when the record did not get it.
void runsPart(Report& report, const RecordRead& record) {
    std::optional<LastTimedRun> last;
    try {
        last = lastTimedRun();
    } catch (const Failure& f) {
        return report.unreadable(QStringLiteral("el estado del temporizador"), f);
    }
    report.details << (last ? QStringLiteral("Última pasada del temporizador: ") + last->toString()
                            : QStringLiteral("El temporizador todavía no ha pasado."));
    using State = RecordedUpload::State;
    if (record.failure)
        return; // said with what the clock holds
    const QList<RecordedUpload>& uploads = record.uploads;
    int failures = 0;
    bool lastInRecord = false;
    for (auto u = uploads.crbegin(); u != uploads.crend() && u->state != State::Sent; ++u) {
        failures +=
            u->state == State::NotSent || u->state == State::Cut || u->state == State::Interrupted;
        lastInRecord = lastInRecord || (last && u->outcome.id == last->id);
    }
    if (last && last->failed() && !lastInRecord)
        ++failures;
    report.details
        << QStringLiteral("Envíos fallidos desde el último que salió entero: %1.").arg(failures);
    if (last && last->failed())
        report.add(Level::Warning, QStringLiteral("la última pasada del temporizador falló"));
}

void calendarPart(Report& report, const std::optional<Calendar>& calendar, const QDate& today) {
    if (!calendar) {
        report.details << QStringLiteral("No hay calendario: todos los días usan el horario "
                                         "guardado.");
        return;
    }
    const std::vector<CalendarProblem> problems = calendar->check(today);
    // A conflict stops no upload (the rule written last wins): something to
    // fix, not bells that ring wrong.
    const auto tally = [&](auto pred) {
        return static_cast<qsizetype>(std::count_if(problems.begin(), problems.end(), pred));
    };
    const qsizetype errors =
        tally([](const CalendarProblem& p) { return !p.warning && !p.isConflict(); });
    const qsizetype conflicts = tally([](const CalendarProblem& p) { return p.isConflict(); });
    const qsizetype warnings = tally([](const CalendarProblem& p) { return p.warning; });
    report.details << QStringLiteral("Calendario %1: %2, %3, %4.")
                          .arg(
                              calendar->file(),
                              counted(errors, QStringLiteral("error"), QStringLiteral("errores")),
                              counted(conflicts, QStringLiteral("conflicto"),
                                      QStringLiteral("conflictos")),
                              counted(warnings, QStringLiteral("aviso"), QStringLiteral("avisos")));
    for (const CalendarProblem& p : problems)
        report.details << QStringLiteral("  ") + p.toString();
    if (const std::optional<QString> copies = copiesLine(*calendar))
        report.details << *copies;
    if (errors > 0)
        report.add(Level::Critical,
                   QStringLiteral("el calendario tiene ") +
                       counted(errors, QStringLiteral("error"), QStringLiteral("errores")));
    if (conflicts > 0)
        report.add(Level::Warning,
                   QStringLiteral("el calendario tiene %1 (gana la regla escrita la última)")
                       .arg(counted(conflicts, QStringLiteral("conflicto"),
                                    QStringLiteral("conflictos"))));
    if (warnings > 0)
        report.add(Level::Warning,
                   QStringLiteral("el calendario tiene ") +
                       counted(warnings, QStringLiteral("aviso"), QStringLiteral("avisos")));
}

void timerPart(Report& report) {
    const TimerState timer = syncTimerState();
    report.details << timer.text;
    if (timer.known && !timer.enabled)
        report.add(Level::Warning, QStringLiteral("el temporizador no está activado"));
}

QString perfData(const Report& report) {
    const auto seconds = [](const std::optional<qint64>& s) {
        return s ? QString::number(*s) + QLatin1Char('s') : QStringLiteral("U");
    };
    return QStringLiteral("desde_envio=%1;;;0; listo=%2;;%3:;0;%4")
        .arg(seconds(report.sinceUpload), seconds(report.ready))
        .arg(kCriticalWithin)
        .arg(kReadySeconds);
}

} // namespace

int runStatus(const Request& r) {
    Report report;
    const QDateTime now = QDateTime::currentDateTime();
    std::optional<Calendar> calendar;
    ClockSchedule stored;
    bool sourceRead = false;
    try {
        stored = storedSchedule();
        calendar = loadCalendar(r.calendar, stored);
        sourceRead = true;
    } catch (const Failure& f) {
        report.unreadable(QStringLiteral("el horario guardado o el calendario"), f);
    }
    const RecordRead record = readRecord();
    if (sourceRead) {
        clockPart(report, now, calendar, stored, record);
        calendarPart(report, calendar, now.date());
    }
    runsPart(report, record);
    timerPart(report);
    const std::optional<QString> unsynced = unsynchronisedPcClock();
    report.details << (unsynced ? QStringLiteral("Hora del PC: ") + *unsynced + QLatin1Char('.')
                                : QStringLiteral("Hora del PC: sincronizada con un servidor de "
                                                 "hora."));
    const QString summary = report.problems.isEmpty()
                                ? QStringLiteral("el reloj está al día, ") + report.readyText
                                : report.problems.join(QStringLiteral("; "));
    say(QStringLiteral("HORVEX %1 - %2 | %3")
            .arg(levelName(report.level), summary, perfData(report)));
    for (const QString& line : report.details)
        say(line);
    return static_cast<int>(report.level);
}

} // namespace horvex::cli
