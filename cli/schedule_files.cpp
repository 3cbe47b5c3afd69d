// --export, --import and --show: schedules kept as files.
#include "cli/commands.h"
#include "schedule/failure.h"
#include "schedule/reg_store.h"
#include "schedule/schedule_file.h"
#include "schedule/window_lock.h"

#include <QFileInfo>
#include <QMap>
#include <algorithm>
#include <cstdio>

namespace horvex::cli {

namespace {

const QByteArray kComment =
    "; Horario de Horvex: timbres (TAla), hora (HH), minuto (MM) y timbre "
    "largo (ALA, 1 = largo) de las 36 alarmas; hora 24 = sin usar. Se carga "
    "con horvex --import ARCHIVO";

bool isUsed(const ScheduleTexts& s, std::size_t i) {
    return s.hour[i] != kUnsetHour;
}

int usedCount(const ScheduleTexts& s) {
    int used = 0;
    for (std::size_t i = 0; i < kSlots; ++i)
        used += isUsed(s, i) ? 1 : 0;
    return used;
}

QString slotName(std::size_t i) {
    return QStringLiteral("H%1").arg(i, 2, 10, QLatin1Char('0'));
}

QString timeOf(const ScheduleTexts& s, std::size_t i) {
    return s.hour[i] + QLatin1Char(':') + s.minute[i];
}

// What an operator wants to know before uploading, beyond values the lists
// would not offer: two alarms at once, and a minute of 60.
QStringList timeWarnings(const ScheduleTexts& s) {
    QMap<QString, QStringList> byTime;
    QStringList warnings;
    for (std::size_t i = 0; i < kSlots; ++i) {
        if (!isUsed(s, i))
            continue;
        byTime[timeOf(s, i)] << slotName(i);
        if (s.minute[i] == QLatin1String("60"))
            warnings << QStringLiteral("%1: minuto 60 (%2), que no es una hora del día")
                            .arg(slotName(i), timeOf(s, i));
    }
    for (auto it = byTime.cbegin(); it != byTime.cend(); ++it)
        if (it.value().size() > 1)
            warnings << QStringLiteral("%1 y %2: a la misma hora, %3")
                            .arg(
                                it.value().mid(0, it.value().size() - 1).join(QStringLiteral(", ")),
                                it.value().last(), it.key());
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
    IniDocument out;
    putSchedule(out, schedule);
    out.prependComment(kComment);
    // Exported as it stands; the operator should know the import will refuse it.
    for (const QString& problem : scheduleProblems(stored, false))
        complain(QStringLiteral("aviso: %1; --import no aceptará el archivo así").arg(problem));
    if (r.file == QLatin1String("-")) {
        const QByteArray bytes = out.serialize();
        std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), stdout);
        return std::fflush(stdout) == 0 ? kOk : kFailed;
    }
    if (sameFile(r.file, store.fileName()))
        throw Failure(
            QStringLiteral("%1 es la configuración de Horvex; elija otro archivo").arg(r.file));
    updateStoreFile(r.file, [&](IniDocument& doc) { doc = out; });
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
        const ScheduleTexts schedule = scheduleTexts(readScheduleDocument(r.file));
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
    if (ofFile && !QFileInfo::exists(file) && !QFileInfo(file).isSymLink())
        throw Failure(QStringLiteral("%1 no existe").arg(file));
    const IniDocument doc = IniDocument::parse(readStoreFile(file));
    const ScheduleTexts s = scheduleTexts(doc);

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
    const QStringList warnings = timeWarnings(s) + scheduleProblems(doc, ofFile);
    if (!warnings.isEmpty())
        say(QStringLiteral("Avisos:\n  ") + warnings.join(QStringLiteral("\n  ")));
    return kOk;
}

} // namespace horvex::cli
