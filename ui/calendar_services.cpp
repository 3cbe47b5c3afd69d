#include "ui/calendar_services.h"

#include "calendar/rolling_day.h"
#include "calendar/upload_decision.h"
#include "cli/commands.h"
#include "cli/schedule_source.h"
#include "clocklink/upload_record.h"
#include "schedule/failure.h"
#include "schedule/reg_store.h"
#include "schedule/schedule_draft.h"
#include "schedule/xdg.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>

namespace horvex {

namespace {

const QString kTimer = QStringLiteral("horvex-sync.timer");

// Whether the user's timer is enabled: its link in the user's or in every
// user's timers.target.wants.
bool syncTimerEnabled() {
    QStringList folders{QStringLiteral("/etc/systemd/user")};
    try {
        folders.prepend(QDir(configHome()).filePath(QStringLiteral("systemd/user")));
    } catch (const Failure&) {
        // No home: only the system-wide link can say.
    }
    for (const QString& folder : folders) {
        const QFileInfo link(
            QDir(folder).filePath(QStringLiteral("timers.target.wants/") + kTimer));
        if (link.exists() || link.isSymLink())
            return true;
    }
    return false;
}

// A sentence of the decision inside one of ours: "El reloj tiene … nada."
// becomes "el reloj tiene … nada".
QString clause(QString sentence) {
    if (sentence.endsWith(QLatin1Char('.')))
        sentence.chop(1);
    if (!sentence.isEmpty())
        sentence[0] = sentence[0].toLower();
    return sentence;
}

// The user's download folder, where a calendar fetched by the browser lands.
QString downloads() {
    QProcess asked;
    asked.start(QStringLiteral("xdg-user-dir"), {QStringLiteral("DOWNLOAD")});
    if (asked.waitForFinished(2000) && asked.exitCode() == 0) {
        const QString folder = QString::fromLocal8Bit(asked.readAllStandardOutput()).trimmed();
        // Unset, it answers the home folder; the usual names are better then.
        if (!folder.isEmpty() && folder != QDir::homePath() && QFileInfo(folder).isDir())
            return folder;
    }
    for (const QString& name : {QStringLiteral("Descargas"), QStringLiteral("Downloads")})
        if (QFileInfo(QDir::home().filePath(name)).isDir())
            return QDir::home().filePath(name);
    return QDir::homePath();
}

// What the clock holds and how long that stays right with the calendar as
// saved.
QString clockHolds(const QString& calendarFile) {
    std::optional<HeldUpload> held;
    try {
        held = cli::heldUpload(UploadRecord());
    } catch (const Failure& f) {
        return QStringLiteral("No se sabe qué tiene el reloj: %1.").arg(f.description());
    }
    QString ready;
    try {
        const cli::SyncSource source(cli::storedSchedule(), calendarFile);
        ready = cli::readySentence(source, held, QDateTime::currentDateTime());
    } catch (const Failure&) {
        // A calendar with errors: the line on the timer's next run says so.
    }
    return (ready + QLatin1Char(' ') + heldText(held)).trimmed();
}

// What the timer's next run decides, as --sync --if-needed would at that
// moment with what the record says now.
QString nextRun(const QString& calendarFile) {
    if (!syncTimerEnabled())
        return QStringLiteral("El temporizador no está activado: nada se envía solo (se activa "
                              "con «systemctl --user enable --now %1»).")
            .arg(kTimer);
    const QDateTime at = nextTimedRun(QDateTime::currentDateTime());
    const QString when = clockText(at.time());
    try {
        const cli::SyncSource source(cli::storedSchedule(), calendarFile);
        const UploadDecision decision = cli::timedRun(source, at).decision;
        return QStringLiteral("A las %1 el temporizador %2: %3.")
            .arg(when,
                 decision.upload() ? QStringLiteral("enviará") : QStringLiteral("no enviará nada"),
                 clause(decision.reason));
    } catch (const Failure& f) {
        return QStringLiteral("A las %1 el temporizador no enviará nada: %2.")
            .arg(when, f.description());
    }
}

// The same upload as horvex --sync with this calendar: timed to the second,
// recorded, a stop signal held until the frame is out.
void sendNow(const QString& calendarFile, StatusLine& status) {
    status.setPanelText(1, QStringLiteral("Enviando al reloj el día que da el calendario ..."));
    QStringList said;
    QStringList problems;
    int code = cli::kFailed;
    {
        const cli::OutputTo to(
            [&](const QString& line, bool problem) { (problem ? problems : said) << line; });
        cli::Request r;
        r.calendar = calendarFile;
        r.origin = QStringLiteral("calendario");
        code = cli::runSync(r);
    }
    // What --sync would print, then its warnings; or why nothing went out.
    const QString sep = QStringLiteral("; ");
    status.setPanelText(1, code == cli::kOk
                               ? (said + problems).join(sep)
                               : QStringLiteral("No se envió: ") + (said + problems).join(sep));
}

} // namespace

FrmCalendario::Services calendarServices() {
    FrmCalendario::Services s;
    s.stored = [] {
        RegStore store;
        return scheduleTexts(store.document());
    };
    s.saveStored = [](const ScheduleTexts& texts) {
        saveStoredSchedule(RegStore().fileName(), texts);
    };
    s.storeFile = [] { return RegStore().fileName(); };
    s.downloads = downloads;
    s.clockHolds = clockHolds;
    s.nextRun = nextRun;
    s.sendNow = sendNow;
    return s;
}

} // namespace horvex
