#include "cli/timer_query.h"

#include "schedule/quoted.h"

#include <QHash>
#include <QProcess>
#include <QRegularExpression>

namespace horvex::cli {

namespace {

const QString kTimer = QStringLiteral("horvex-sync.timer");
constexpr int kWaitMs = 2000;

// systemctl's own words for a unit file's state, in ours.
QString stateInWords(const QString& word) {
    static const QHash<QString, QString> words{
        {QStringLiteral("disabled"), QStringLiteral("desactivado")},
        {QStringLiteral("masked"), QStringLiteral("bloqueado (masked)")},
        {QStringLiteral("masked-runtime"), QStringLiteral("bloqueado (masked)")},
        {QStringLiteral("not-found"), QStringLiteral("no instalado")},
        {QStringLiteral("static"), QStringLiteral("sin activar (static)")},
        {QStringLiteral("indirect"), QStringLiteral("sin activar (indirect)")},
    };
    return words.value(word, quoted(word));
}

} // namespace

TimerState syncTimerState() {
    QProcess systemctl;
    systemctl.start(QStringLiteral("systemctl"),
                    {QStringLiteral("--user"), QStringLiteral("is-enabled"), kTimer});
    const bool answered =
        systemctl.waitForFinished(kWaitMs) && systemctl.exitStatus() == QProcess::NormalExit;
    if (!answered) {
        systemctl.kill();
        systemctl.waitForFinished(kWaitMs);
    }
    const QString word = QString::fromUtf8(systemctl.readAllStandardOutput()).trimmed();
    static const QRegularExpression oneWord(QStringLiteral("^[a-z-]+$"));
    if (!answered || !oneWord.match(word).hasMatch())
        return {false, false,
                QStringLiteral("Temporizador: no se pudo preguntar al gestor de servicios del "
                               "usuario (systemctl --user is-enabled %1).")
                    .arg(kTimer)};
    if (word == QLatin1String("enabled") || word == QLatin1String("enabled-runtime"))
        return {true, true, QStringLiteral("Temporizador: %1 activado.").arg(kTimer)};
    return {true, false,
            QStringLiteral("Temporizador: %1 %2: nada se envía solo (se activa con «systemctl "
                           "--user enable --now %1»).")
                .arg(kTimer, stateInWords(word))};
}

} // namespace horvex::cli
