#include "schedule/reg_store.h"

#include "schedule/failure.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStringList>
#include <QTemporaryFile>
#include <algorithm>

namespace horvex {

namespace {

struct Name {
    QString section;
    QString key;
};

bool sameName(const QString& a, const QString& b) {
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

// Every stored spelling of section/key, the exact spelling first. More than
// one only when the file was edited by hand.
QStringList spellingsOf(const QSettings& s, const Name& name) {
    const QString exact = name.section + QLatin1Char('/') + name.key;
    QStringList found;
    for (const QString& stored : s.allKeys()) {
        const qsizetype slash = stored.indexOf(QLatin1Char('/'));
        if (slash < 0 || !sameName(stored.left(slash), name.section) ||
            !sameName(stored.mid(slash + 1), name.key))
            continue;
        if (stored == exact)
            found.prepend(stored);
        else
            found.append(stored);
    }
    return found;
}

// Where a new value goes: into the section as it is already spelled, if any.
QString newSpelling(const QSettings& s, const Name& name) {
    QString section = name.section;
    const QStringList groups = s.childGroups();
    if (!groups.contains(section)) {
        for (const QString& group : groups) {
            if (sameName(group, section)) {
                section = group;
                break;
            }
        }
    }
    return section + QLatin1Char('/') + name.key;
}

// A hand-edited "a, b" reads back as a list; give the text as it stood.
QString asText(const QVariant& v) {
    if (v.typeId() == QMetaType::QStringList)
        return v.toStringList().join(QStringLiteral(", "));
    return v.toString();
}

// Qt 6.4 misses a short write (full disk, quota) and replaces the file with
// a truncated one while reporting success. So check first that the folder
// takes a file well beyond what the store writes.
bool roomToWrite(const QString& file) {
    const QDir folder = QFileInfo(file).absoluteDir();
    if (!folder.exists())
        return true; // nothing to protect; Qt reports a failed mkdir itself
    QTemporaryFile probe(folder.filePath(QStringLiteral(".probe-XXXXXX")));
    if (!probe.open())
        return false;
    const qint64 size = std::max<qint64>(64 * 1024, 4 * QFileInfo(file).size());
    const QByteArray block(4096, '\n');
    for (qint64 done = 0; done < size; done += block.size()) {
        if (probe.write(block) != block.size())
            return false;
    }
    return probe.flush();
}

Failure cannotWrite(const QString& file) {
    return Failure(QStringLiteral("no se puede escribir en %1 (carpeta sin permiso de escritura "
                                  "o disco lleno); el archivo anterior no se modificó")
                       .arg(file));
}

// Once per save, before the first value: a value handed to QSettings gets
// written sooner or later (event loop, destructor), whatever flush() says.
void checkWritable(const QSettings& s) {
    // Qt would rewrite a file it could not parse, dropping what it did not
    // understand; keep the operator's file and say so instead.
    if (s.status() == QSettings::FormatError)
        throw Failure(QStringLiteral("el archivo de configuración %1 no tiene un formato válido; "
                                     "corríjalo o bórrelo y vuelva a grabar")
                          .arg(s.fileName()));
    if (!roomToWrite(s.fileName()))
        throw cannotWrite(s.fileName());
}

} // namespace

RegStore::RegStore() = default;
RegStore::~RegStore() = default;

QSettings& RegStore::settings() {
    // The name is asked every time: a store opened under another name is
    // not this application's.
    const QString name = QCoreApplication::applicationName();
    if (!settings_ || settings_->applicationName() != name) {
        settings_ =
            std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope, name, name);
        // Only the user's own store: no organisation-wide or system values
        // that a save could not replace.
        settings_->setFallbacksEnabled(false);
        // Qt parses sections lazily and only then reports a damaged file;
        // parse now so status() tells before the first write.
        static_cast<void>(settings_->allKeys());
    }
    return *settings_;
}

QString RegStore::GetSetting(const QString& section, const QString& key, const QString& fallback) {
    QSettings& s = settings();
    const QStringList found = spellingsOf(s, {section, key});
    return found.isEmpty() ? fallback : asText(s.value(found.first()));
}

void RegStore::SaveSetting(const QString& section, const QString& key, const QString& value) {
    QSettings& s = settings();
    if (!writing_)
        checkWritable(s);
    QStringList found = spellingsOf(s, {section, key});
    const QString target = found.isEmpty() ? newSpelling(s, {section, key}) : found.takeFirst();
    for (const QString& duplicate : found)
        s.remove(duplicate);
    s.setValue(target, value);
    writing_ = true;
}

void RegStore::flush() {
    writing_ = false;
    QSettings& s = settings();
    s.sync();
    const QSettings::Status status = s.status();
    if (status == QSettings::NoError)
        return;
    const QString file = s.fileName();
    // The status stays set for the object's life; start afresh next time.
    settings_.reset();
    if (status == QSettings::AccessError)
        throw cannotWrite(file);
    throw Failure(
        QStringLiteral("el archivo de configuración %1 no tiene un formato válido").arg(file));
}

std::optional<QString> RegStore::portDevice(int port) {
    const QString device =
        GetSetting(QStringLiteral("Puertos"), QStringLiteral("COM%1").arg(port), QString())
            .trimmed();
    if (device.isEmpty())
        return std::nullopt;
    return device;
}

} // namespace horvex
