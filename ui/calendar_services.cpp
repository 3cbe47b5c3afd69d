#include "ui/calendar_services.h"

#include "calendar/rolling_day.h"
#include "clocklink/upload_record.h"
#include "schedule/failure.h"
#include "schedule/reg_store.h"
#include "schedule/xdg.h"

#include <QDir>
#include <QFileInfo>

namespace horvex {

namespace {

const QString kTimer = QStringLiteral("horvex-sync.timer");

QString clockHolds() {
    QList<RecordedUpload> uploads;
    try {
        uploads = UploadRecord().recent(50);
    } catch (const Failure& f) {
        return QStringLiteral("No se sabe qué tiene el reloj: %1.").arg(f.description());
    }
    // The last upload that went out whole: nothing is read back from the clock.
    for (auto u = uploads.crbegin(); u != uploads.crend(); ++u) {
        if (u->state != RecordedUpload::State::Sent)
            continue;
        const QDateTime at = u->outcome.at.toLocalTime();
        const QString how = u->outcome.origin == QLatin1String("ventana")
                                ? QStringLiteral("desde la ventana")
                                : QStringLiteral("por «horvex --%1»").arg(u->outcome.origin);
        return QStringLiteral("El reloj tiene lo enviado %1 el %2 a las %3 (COM%4).")
            .arg(how, at.toString(QStringLiteral("dd/MM/yyyy")),
                 at.toString(QStringLiteral("HH:mm")))
            .arg(u->outcome.port);
    }
    return QStringLiteral("No consta ningún envío entero al reloj: no se sabe qué tiene.");
}

// The timer runs at every quarter hour.
QDateTime nextQuarter(const QDateTime& now) {
    const QTime t = now.time();
    const int minutes = (t.hour() * 60 + t.minute()) / 15 * 15 + 15;
    return QDateTime(now.date(), QTime(0, 0)).addSecs(minutes * 60);
}

QString nextRun(const Calendar& calendar) {
    if (!syncTimerEnabled())
        return QStringLiteral("El temporizador no está activado: nada se envía solo (se activa "
                              "con «systemctl --user enable --now %1»).")
            .arg(kTimer);
    const QDateTime at = nextQuarter(QDateTime::currentDateTime());
    const QString when = at.toString(QStringLiteral("HH:mm"));
    for (const CalendarProblem& p : calendar.check(at.date()))
        if (!p.warning)
            return QStringLiteral("A las %1 el temporizador no enviará nada: el calendario "
                                  "guardado tiene errores.")
                .arg(when);
    try {
        const RollingDay day = rollingDay(calendar, at);
        return QStringLiteral("A las %1 el temporizador comprobará y, si hace falta, enviará %2 "
                              "timbres: hoy «%3», mañana «%4».")
            .arg(when)
            .arg(day.bells.size())
            .arg(day.today.value.name(), day.tomorrow.value.name());
    } catch (const Failure& f) {
        return QStringLiteral("A las %1 el temporizador no podrá enviar: %2.")
            .arg(when, f.description());
    }
}

// For now the window says what an upload would hold; the upload itself is
// --sync's.
void sendNow(const Calendar& calendar, StatusLine& status) {
    try {
        const RollingDay day = rollingDay(calendar, QDateTime::currentDateTime());
        status.setPanelText(
            1, QStringLiteral("Se enviarían %1 timbres: hoy «%2», mañana «%3»%4. "
                              "Nada enviado: use «horvex --sync».")
                   .arg(day.bells.size())
                   .arg(day.today.value.name(), day.tomorrow.value.name(),
                        day.left.empty() ? QString()
                                         : QStringLiteral(" (%1 no caben)").arg(day.left.size())));
    } catch (const Failure& f) {
        status.setPanelText(1, QStringLiteral("No se puede enviar: %1").arg(f.description()));
    }
}

} // namespace

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

FrmCalendario::Services calendarServices() {
    FrmCalendario::Services s;
    s.stored = [] {
        RegStore store;
        return scheduleTexts(store.document());
    };
    s.clockHolds = clockHolds;
    s.nextRun = nextRun;
    s.sendNow = sendNow;
    return s;
}

} // namespace horvex
