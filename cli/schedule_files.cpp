// --export, --import and --show: schedules kept as files.
#include "cli/commands.h"
#include "schedule/counted.h"
#include "schedule/failure.h"
#include "schedule/lists.h"
#include "schedule/readable_schedule.h"
#include "schedule/reg_store.h"
#include "schedule/schedule_file.h"
#include "schedule/window_lock.h"

#include <QFileInfo>
#include <QMap>
#include <algorithm>

namespace horvex::cli {

namespace {

bool isUsed(const ScheduleTexts& s, std::size_t i) {
    return s.hour[i] != kUnsetHour;
}

int usedCount(const ScheduleTexts& s) {
    int used = 0;
    for (std::size_t i = 0; i < kSlots; ++i)
        used += isUsed(s, i) ? 1 : 0;
    return used;
}

QString timeOf(const ScheduleTexts& s, std::size_t i) {
    return timeText(s.hour[i], s.minute[i]);
}

// Alarms at one time, which a schedule file refuses.
QStringList sameTimes(const ScheduleTexts& s) {
    QMap<QString, QStringList> byTime;
    for (std::size_t i = 0; i < kSlots; ++i)
        if (isUsed(s, i))
            byTime[timeOf(s, i)] << slotName(i);
    QStringList warnings;
    for (auto it = byTime.cbegin(); it != byTime.cend(); ++it)
        if (it.value().size() > 1)
            warnings << QStringLiteral("%1 y %2: a la misma hora, %3")
                            .arg(
                                it.value().mid(0, it.value().size() - 1).join(QStringLiteral(", ")),
                                it.value().last(), it.key());
    return warnings;
}

// A minute of 60, which the lists offer but no day has.
QStringList minute60(const ScheduleTexts& s) {
    QStringList warnings;
    for (std::size_t i = 0; i < kSlots; ++i)
        if (isUsed(s, i) && s.minute[i] == QLatin1String("60"))
            warnings << QStringLiteral("%1: minuto 60 (%2), que no es una hora del día")
                            .arg(slotName(i), timeOf(s, i));
    return warnings;
}

// Whether two paths name one file, links followed; a file not there yet is
// only itself.
bool sameFile(const QString& a, const QString& b) {
    const auto path = [](const QString& p) {
        const QFileInfo info(p);
        return info.exists() ? info.canonicalFilePath() : info.absoluteFilePath();
    };
    return path(a) == path(b);
}

} // namespace

int runExport(const Request& r) {
    RegStore store;
    const IniDocument& stored = store.document();
    const ScheduleTexts schedule = scheduleTexts(stored);
    const QByteArray bytes = readableScheduleText(schedule);
    // Exported as it stands; the operator should know the import will refuse it.
    for (const QString& problem : scheduleProblems(stored, false) + sameTimes(schedule))
        complain(QStringLiteral("aviso: %1; --import no aceptará el archivo así").arg(problem));
    if (r.file == QLatin1String("-")) {
        cli::out(bytes);
        return kOk;
    }
    if (sameFile(r.file, store.fileName()))
        throw Failure(
            QStringLiteral("%1 es la configuración de Horvex; elija otro archivo").arg(r.file));
    updateStoreFile(
        r.file, [&](IniDocument& doc) { doc = IniDocument::parse(bytes); }, MissingFolder::Refuse);
    say(QStringLiteral("Horario guardado en %1: %2 alarmas en uso")
            .arg(r.file)
            .arg(usedCount(schedule)));
    return kOk;
}

int runImport(const Request& r) {
    const QString unchanged =
        QStringLiteral("No se importó nada: el horario guardado sigue igual.");
    try {
        const QString storeFile = RegStore().fileName();
        // Held until the store is written, so that no window opens meanwhile.
        WindowLock lock(storeFile, WindowLock::Holder::Import);
        if (!lock.acquire())
            throw Failure(QStringLiteral("Horvex está abierto con esta configuración (%1): "
                                         "ciérrelo antes de importar, o la ventana grabaría su "
                                         "horario encima del importado")
                              .arg(lock.holder()));
        const ScheduleTexts schedule = readScheduleTexts(r.file);
        updateStoreFile(storeFile, [&](IniDocument& doc) { putSchedule(doc, schedule); });
        say(QStringLiteral("Horario de %1 importado en %2: %3 alarmas en uso, timbres corto %4 "
                           "y largo %5")
                .arg(r.file, storeFile)
                .arg(usedCount(schedule))
                .arg(schedule.shortRing, schedule.longRing));
        return kOk;
    } catch (const Failure& f) {
        complain(f.description());
        complain(unchanged);
        return kFailed;
    }
}

int runShow(const Request& r) {
    const bool ofFile = !r.file.isEmpty();
    const QString file = ofFile ? r.file : RegStore().fileName();
    const ParsedSchedule parsed =
        ofFile ? readSchedule(file, true) : parseSchedule(readStoreFile(file), false);
    const ScheduleTexts& s = parsed.texts;

    std::vector<std::size_t> used;
    for (std::size_t i = 0; i < kSlots; ++i)
        if (isUsed(s, i))
            used.push_back(i);
    const auto key = [&](std::size_t i) {
        return std::tuple(s.hour[i].toInt(), s.minute[i].toInt(), i);
    };
    std::sort(used.begin(), used.end(),
              [&](std::size_t a, std::size_t b) { return key(a) < key(b); });

    say(QStringLiteral("Horario de %1").arg(file));
    say(QStringLiteral("Timbres: corto %1, largo %2").arg(s.shortRing, s.longRing));
    for (const std::size_t i : used)
        say(QStringLiteral("%1  %2  (%3)")
                .arg(timeOf(s, i),
                     s.check[i] == QLatin1String("1") ? QStringLiteral("largo")
                                                      : QStringLiteral("corto"),
                     slotName(i)));
    say(QStringLiteral("Sin usar: %1 de %2").arg(kSlots - used.size()).arg(kSlots));
    // The readable form names alarms at one time among its problems.
    const QStringList warnings = minute60(s) + (parsed.readable ? QStringList() : sameTimes(s));
    if (!warnings.isEmpty())
        say(QStringLiteral("Avisos:\n  ") + warnings.join(QStringLiteral("\n  ")));
    // What --import refuses, and what the clock could not take.
    if (parsed.problems.empty())
        return kOk;
    say(QStringLiteral("Errores:"));
    for (const LineProblem& p : parsed.problems)
        say(QStringLiteral("  ") + p.toString());
    const qsizetype n = static_cast<qsizetype>(parsed.problems.size());
    complain(QStringLiteral("%1 tiene %2: %3")
                 .arg(file, counted(n, QStringLiteral("error"), QStringLiteral("errores")),
                      ofFile ? QStringLiteral("--import no lo aceptaría")
                             : QStringLiteral("el reloj no podría tomarlo así")));
    return kFailed;
}

} // namespace horvex::cli
