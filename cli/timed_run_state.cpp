#include "cli/timed_run_state.h"

#include "calendar/rolling_day.h"
#include "cli/commands.h"
#include "cli/desktop_notice.h"
#include "schedule/failure.h"
#include "schedule/ini_document.h"
#include "schedule/reg_store.h"
#include "schedule/xdg.h"

#include <QCryptographicHash>
#include <QDir>
#include <QRegularExpression>

namespace horvex::cli {

namespace {

const QString kRun = QStringLiteral("Pasada");
const QString kNotices = QStringLiteral("Avisos");

const QString kFailedSummary = QStringLiteral("Horvex: el reloj no recibió el horario");
const QString kBackSummary = QStringLiteral("Horvex: el reloj vuelve a estar al día");

// Lines of a reason a notice shows; the rest is for horvex --status.
constexpr int kNoticeLines = 4;

using Verdict = UploadDecision::Verdict;

QString verdictName(Verdict v) {
    switch (v) {
    case Verdict::Upload:
        return QStringLiteral("enviar");
    case Verdict::Wait:
        return QStringLiteral("esperar");
    case Verdict::Keep:
        break;
    }
    return QStringLiteral("nada");
}

// The notices said: each failure's cause once a day, and whether a failure
// was told and the return to normal not yet.
struct Notices {
    QDate day;
    QStringList causes; // of `day`
    bool pending = false;
};

Notices noticesIn(const IniDocument& doc, QDate today) {
    Notices n;
    n.day = QDate::fromString(doc.value(kNotices, QStringLiteral("dia")).value_or(QString()),
                              Qt::ISODate);
    if (n.day == today)
        n.causes = doc.value(kNotices, QStringLiteral("causas"))
                       .value_or(QString())
                       .split(QLatin1Char(' '), Qt::SkipEmptyParts);
    n.day = today;
    n.pending = doc.value(kNotices, QStringLiteral("pendiente")) == QStringLiteral("1");
    return n;
}

// A failure's cause: its first line, numbers aside (times, a pid), as a
// short key. A port missing and a port in use are two causes; the same
// port missing at 07:00 and at 07:15 is one.
QString causeOf(const QString& reason) {
    static const QRegularExpression numbers(QStringLiteral("\\d+"));
    const QString first = reason.section(QLatin1Char('\n'), 0, 0).replace(numbers, "#");
    return QString::fromLatin1(
        QCryptographicHash::hash(first.toUtf8(), QCryptographicHash::Sha1).toHex().left(12));
}

// What to do, by where the run stopped.
QString advice(const UploadOutcome& outcome) {
    if (outcome.sent > 0)
        return QStringLiteral("El envío se cortó a medias: compruebe el cable del reloj. El "
                              "temporizador lo intentará de nuevo dentro de 15 minutos.");
    if (outcome.port == 0 && outcome.frame.isEmpty())
        return QStringLiteral("Corrija el calendario o el horario: «horvex --check» muestra cada "
                              "error con su archivo y su línea. Hasta entonces el reloj sigue con "
                              "lo que tenía.");
    return QStringLiteral("Compruebe que el reloj está conectado a este PC y que el puerto es el "
                          "suyo («horvex --list-ports»). El temporizador lo intentará de nuevo "
                          "dentro de 15 minutos.");
}

QString failedBody(const UploadOutcome& outcome) {
    QStringList lines = outcome.reason.split(QLatin1Char('\n'));
    if (lines.size() > kNoticeLines)
        lines = lines.mid(0, kNoticeLines) << QStringLiteral("  …");
    return lines.join(QLatin1Char('\n')) + QStringLiteral("\n\n") + advice(outcome);
}

void put(IniDocument& doc, const LastTimedRun& run, const Notices& notices) {
    doc.setValue(kRun, QStringLiteral("hora"), run.at.toString(Qt::ISODateWithMs));
    doc.setValue(kRun, QStringLiteral("decision"), run.verdict);
    doc.setValue(kRun, QStringLiteral("resultado"), run.result);
    doc.setValue(kRun, QStringLiteral("motivo"), run.reason);
    doc.setValue(kRun, QStringLiteral("envio"), run.id);
    doc.setValue(kNotices, QStringLiteral("dia"), notices.day.toString(Qt::ISODate));
    doc.setValue(kNotices, QStringLiteral("causas"), notices.causes.join(QLatin1Char(' ')));
    doc.setValue(kNotices, QStringLiteral("pendiente"),
                 notices.pending ? QStringLiteral("1") : QStringLiteral("0"));
}

void keep(const LastTimedRun& run, const Notices& notices) {
    updateStoreFile(timedRunStateFile(), [&](IniDocument& doc) { put(doc, run, notices); });
}

// Keeps the run and returns what was told today, read under the same lock:
// two runs ending together each see the other's notices.
Notices keepRun(const LastTimedRun& run) {
    Notices notices;
    updateStoreFile(timedRunStateFile(), [&](IniDocument& doc) {
        notices = noticesIn(doc, run.at.date());
        put(doc, run, notices);
    });
    return notices;
}

} // namespace

bool LastTimedRun::failed() const {
    return result == QLatin1String("fallido") || result == QLatin1String("cortado");
}

QString LastTimedRun::toString() const {
    const QString first = reason.section(QLatin1Char('\n'), 0, 0);
    if (failed())
        return QStringLiteral("%1: %2: %3")
            .arg(momentText(at),
                 result == QLatin1String("cortado") ? QStringLiteral("el envío se cortó")
                                                    : QStringLiteral("no se envió"),
                 first);
    if (result == QLatin1String("enviado"))
        return QStringLiteral("%1: enviado (%2)").arg(momentText(at), first);
    return QStringLiteral("%1: %2").arg(momentText(at), first);
}

QString timedRunStateFile() {
    return QDir(stateHome()).filePath(QStringLiteral("Horvex/temporizador.ini"));
}

std::optional<LastTimedRun> lastTimedRun() {
    const IniDocument doc = IniDocument::parse(readStoreFile(timedRunStateFile()));
    const auto value = [&](const char* key) {
        return doc.value(kRun, QLatin1String(key)).value_or(QString());
    };
    LastTimedRun run{QDateTime::fromString(value("hora"), Qt::ISODateWithMs), value("decision"),
                     value("resultado"), value("motivo"), value("envio")};
    if (!run.at.isValid())
        return std::nullopt;
    return run;
}

int timedRunEnded(const std::optional<UploadDecision>& decided, const UploadOutcome& outcome,
                  int code) {
    const bool tried = !decided || decided->upload();
    LastTimedRun run{
        QDateTime::currentDateTime(), decided ? verdictName(decided->verdict) : QString(),
        code == kCut  ? QStringLiteral("cortado")
        : code != kOk ? QStringLiteral("fallido")
        : tried       ? QStringLiteral("enviado")
                      : QString(),
        code != kOk || !decided ? outcome.reason : decided->reason, tried ? outcome.id : QString()};
    try {
        // Kept before the bus is asked, which may take the rest of the run.
        Notices notices = keepRun(run);
        if (run.failed()) {
            const QString cause = causeOf(outcome.reason);
            if (!notices.causes.contains(cause) &&
                showNotice(kFailedSummary, failedBody(outcome), true, code)) {
                notices.causes << cause;
                notices.pending = true;
                keep(run, notices);
            }
        } else if (notices.pending && run.verdict != QLatin1String("esperar")) {
            const QString body =
                run.result.isEmpty()
                    ? run.reason
                    : QStringLiteral("El temporizador envió al reloj lo que toca a las %1.")
                          .arg(run.at.toString(QStringLiteral("HH:mm")));
            if (showNotice(kBackSummary, body, false, code)) {
                notices.pending = false;
                keep(run, notices);
            }
        }
    } catch (const Failure& f) {
        complain(QStringLiteral("aviso: no se pudo guardar el estado del temporizador: ") +
                 f.description());
    }
    return code;
}

} // namespace horvex::cli
