// --sync and --print-frame: the window's frame, built from the stored
// schedule, a schedule file or the calendar, sent or shown without a window.
#include "cli/commands.h"
#include "cli/schedule_source.h"
#include "cli/timed_run_state.h"
#include "clocklink/frame.h"
#include "clocklink/mscomm.h"
#include "clocklink/pc_clock.h"
#include "clocklink/puerto.h"
#include "clocklink/sender.h"
#include "clocklink/signal_hold.h"
#include "clocklink/tiempo.h"
#include "clocklink/upload_record.h"
#include "schedule/failure.h"
#include "schedule/reg_sett.h"
#include "schedule/reg_store.h"

#include <QDateTime>
#include <chrono>
#include <optional>

namespace horvex::cli {

namespace {

using std::chrono::duration_cast;
using Steady = std::chrono::steady_clock;
using Wall = std::chrono::system_clock;

// From the start of the first character's write until the last character is
// complete on the line: 81 paced steps, then one character of 10 bits at
// 2400 baud.
constexpr auto kSendTime =
    81 * (std::chrono::milliseconds(10) + SleepPause::kMargin) + std::chrono::microseconds(4167);
// Room to build the frame before sending must start.
constexpr auto kLeeway = std::chrono::milliseconds(30);

// The whole second the frame carries, and the monotonic instant at which
// sending must start for its last character to be complete at that second.
struct Target {
    QDateTime second;
    Steady::time_point start;
};

Target nextTarget() {
    const Steady::time_point steadyNow = Steady::now();
    const Wall::time_point wallNow = Wall::now();
    const auto second = std::chrono::ceil<std::chrono::seconds>(wallNow + kSendTime + kLeeway);
    const auto ms = duration_cast<std::chrono::milliseconds>(second.time_since_epoch()).count();
    return {QDateTime::fromMSecsSinceEpoch(ms),
            steadyNow + duration_cast<Steady::duration>(second - wallNow - kSendTime)};
}

// Appends a line to the record; a reason it could not is said once, not
// again for the closing line.
void record(UploadOutcome outcome, bool opening = false) {
    static QString said;
    outcome.at = QDateTime::currentDateTime();
    outcome.opening = opening;
    try {
        UploadRecord().append(outcome);
    } catch (const Failure& failure) {
        if (failure.description() != said)
            complain(failure.description());
        said = failure.description();
    }
}

// --schedule sends its file as it is, so a calendar named beside it would
// be ignored without a word.
bool clash(const Request& r) {
    if (r.schedule.isEmpty() || r.calendar.isEmpty())
        return false;
    complain(QStringLiteral("--schedule envía su archivo tal cual, sin calendario: no va con "
                            "--calendar"));
    return true;
}

SyncSource sourceOf(const Request& r) {
    return SyncSource(r.schedule.isEmpty() ? storedSchedule() : ClockSchedule{}, r.calendar,
                      r.schedule, FetchWhen::IfDue);
}

// --if-needed: whether to upload now, said either way.
bool uploadNeeded(const SyncSource& source, const QDateTime& now,
                  std::optional<UploadDecision>& decided) {
    const TimedRun run = timedRun(source, now);
    decided = run.decision;
    if (run.decision.upload()) {
        say(QStringLiteral("Hace falta enviar: %1.").arg(run.decision.reason));
        return true;
    }
    say(heldText(run.held));
    say(run.decision.reason);
    say(readySentence(source, run.held, now));
    return false;
}

// Opens the port and sends the frame for the moment its last character is
// complete; the record holds it from just before the first character.
void sendTimed(const Request& r, const SyncSource& source, UploadOutcome& outcome,
               std::optional<SignalHold>& hold) {
    RegStore store;
    // The port the window opens at start-up, unless the run names another.
    const QString portText = r.port ? QString::number(*r.port) : storedPort(store);
    MSComm1 port([&store](int n) { return store.portDevice(n); });
    if (!r.port)
        if (const std::optional<AdoptedAdapter> adapter = adoptLoneAdapter(port, portText))
            complain(QStringLiteral("aviso: %1; %2").arg(adapter->opens, adapter->keep));
    outcome.port = portNumberFromText(portText);
    outcome.device = port.deviceFor(outcome.port);
    AbrirPuerto(port, portText);
    // The line is ours from before the second is chosen to the last
    // character: a window's frame or another run waits, and so do we. It is
    // let go before anything is said, which may take a while (listo hasta).
    std::optional<MSComm1::Line> line;
    line.emplace(port);

    const Target target = nextTarget();
    const Sending sending = source.at(target.second);
    outcome.rules = sending.rules;
    if (const std::optional<QString> unsynced = unsynchronisedPcClock()) {
        complain(QStringLiteral("aviso: ") + *unsynced);
        outcome.rules +=
            (outcome.rules.isEmpty() ? QString() : QStringLiteral("; ")) + kUnsyncedRule;
    }
    outcome.frame = frameAt(sending.schedule, target.second.time());
    hold.emplace();
    record(outcome, true);
    if (!hold->sleepUntil(target.start))
        throw Failure(QStringLiteral("llegó la señal %1 antes del primer carácter: no se ha "
                                     "enviado nada al reloj")
                          .arg(SignalHold::name(hold->caught())));
    SleepPause pause;
    sendPaced(outcome.frame, static_cast<int>(outcome.frame.size()), port, pause);
    line.reset();
    outcome.sent = static_cast<int>(outcome.frame.size());
    say(QStringLiteral("Enviado a %1: hora %2, %3 caracteres")
            .arg(port.portLabel(), target.second.time().toString(QStringLiteral("HH:mm:ss")))
            .arg(outcome.sent));
    say(readySentence(source, HeldUpload{target.second, sending.schedule, false, r.origin, {}},
                      target.second));
    if (!sending.leftOut.isEmpty())
        complain(QStringLiteral("aviso: no caben en las %1 ranuras y no se han enviado: %2")
                     .arg(kSlots)
                     .arg(sending.leftOut));
    if (hold->caught() != 0)
        complain(QStringLiteral("la señal %1 llegó durante el envío: la trama salió entera "
                                "y el programa termina ahora")
                     .arg(SignalHold::name(hold->caught())));
}

} // namespace

int runSync(const Request& r) {
    if (clash(r))
        return kUsage;
    UploadOutcome outcome;
    outcome.origin = r.origin;
    outcome.id = UploadRecord::newId();
    int code = kOk;
    // From the opening line of the record to its closing line a stop signal
    // waits; it ends the program once this function has said everything.
    std::optional<SignalHold> hold;
    std::optional<UploadDecision> decided; // --if-needed
    try {
        const SyncSource source = sourceOf(r);
        const QDateTime now = QDateTime::currentDateTime();
        const ClockSchedule schedule = source.at(now).schedule;
        // A value the clock could not take stops here, before the port is touched.
        frameAt(schedule, now.time());
        if (r.ifNeeded && !uploadNeeded(source, now, decided))
            return timedRunEnded(decided, outcome, kOk);
        // The days of .ics events are worked out a year at a time: the year
        // the frame may complete in is ready before the timing starts.
        if (source.calendar())
            source.calendar()->day(now.date().addDays(2));
        sendTimed(r, source, outcome, hold);
    } catch (const FrameCut& cut) {
        outcome.reason = cut.description();
        outcome.sent = cut.sent();
        code = cut.sent() > 0 ? kCut : kFailed;
    } catch (const Failure& failure) {
        outcome.reason = failure.description();
        code = kFailed;
    }
    if (code != kOk)
        complain(outcome.reason);
    record(outcome);
    return r.ifNeeded ? timedRunEnded(decided, outcome, code) : code;
}

int runPrintFrame(const Request& r) {
    if (clash(r))
        return kUsage;
    const QDateTime moment = QDateTime::currentDateTime();
    const Sending sending = sourceOf(r).at(moment);
    const ClockSchedule& schedule = sending.schedule;
    const QTime now = moment.time();
    const QByteArray frame = frameAt(schedule, now);
    const auto hex = [&](qsizetype at, qsizetype count) {
        return QString::fromLatin1(frame.mid(at, count).toHex(' ').toUpper());
    };
    say(QStringLiteral("Trama de %1 caracteres:").arg(frame.size()));
    constexpr int kPerLine = 16;
    for (qsizetype at = 0; at < frame.size(); at += kPerLine)
        say(QStringLiteral("%1: %2").arg(at, 2, 10, QLatin1Char('0')).arg(hex(at, kPerLine)));
    say(QStringLiteral("Hora del día: %1   %2")
            .arg(now.toString(QStringLiteral("HH:mm:ss")), hex(1, 3)));
    for (int i = 0; i < kSlots; ++i) {
        const AlarmSlot& slot = schedule.alarms[static_cast<std::size_t>(i)];
        say(QStringLiteral("%1  %2:%3  %4   %5")
                .arg(slotName(static_cast<std::size_t>(i)), slot.hour, slot.minute,
                     slot.check == 1 ? QStringLiteral("largo") : QStringLiteral("corto"),
                     hex(kSlotsAt + 2 * i, 2)));
    }
    say(QStringLiteral("Timbre corto %1, largo %2   %3")
            .arg(schedule.shortRing, schedule.longRing, hex(kRingsAt, 2)));
    if (!sending.rules.isEmpty())
        say(QStringLiteral("Elegido por: ") + sending.rules);
    return kOk;
}

} // namespace horvex::cli
