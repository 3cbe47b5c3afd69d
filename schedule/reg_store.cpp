#include "schedule/reg_store.h"

#include "schedule/failure.h"
#include "schedule/guarded_file.h"
#include "schedule/xdg.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLockFile>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace horvex {

namespace {

// Another save holds the lock for milliseconds; a lock held longer is stuck.
constexpr int kLockWaitMs = 3000;

Failure cannotWrite(const QString& file, const QString& reason) {
    return Failure(QStringLiteral("no se puede escribir en %1: %2; el archivo anterior no se "
                                  "modificó")
                       .arg(file, reason));
}

// A link is followed to the file it names, so that saving keeps the link.
QString writeTarget(const QString& file) {
    const QFileInfo info(file);
    return info.isSymLink() && info.exists() ? info.canonicalFilePath() : file;
}

// Qt 6.4's QSaveFile reports success after a short write (full disk, quota)
// and leaves a truncated file, so the writing and its checks are our own:
// a temporary file beside the target, every write checked, then a rename.
void writeWhole(const QString& file, const QByteArray& bytes) {
    const QString target = writeTarget(file);
    const QString folder = QFileInfo(target).absolutePath();
    if (!QDir().mkpath(folder))
        throw cannotWrite(file, QStringLiteral("no se puede crear la carpeta %1").arg(folder));
    QByteArray temp = QFile::encodeName(target) + ".XXXXXX";
    const UniqueFd fd(::mkstemp(temp.data()));
    if (fd.get() < 0)
        throw cannotWrite(file, systemReason());
    const auto fail = [&](const QString& reason) {
        ::unlink(temp.constData());
        return cannotWrite(file, reason);
    };
    struct stat old {};
    const mode_t mask = ::umask(0);
    ::umask(mask);
    const mode_t mode = ::stat(QFile::encodeName(target).constData(), &old) == 0
                            ? old.st_mode & 07777
                            : 0666 & ~mask;
    if (::fchmod(fd.get(), mode) != 0)
        throw fail(systemReason());
    for (qsizetype done = 0; done < bytes.size();) {
        const ssize_t n = ::write(fd.get(), bytes.constData() + done,
                                  static_cast<std::size_t>(bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            throw fail(systemReason());
        done += n;
    }
    if (::fsync(fd.get()) != 0)
        throw fail(systemReason());
    if (::rename(temp.constData(), QFile::encodeName(target).constData()) != 0)
        throw fail(systemReason());
}

} // namespace

QByteArray readStoreFile(const QString& file) {
    return readGuarded(file, kStoreLimit);
}

IniDocument updateStoreFile(const QString& file, const std::function<void(IniDocument&)>& change,
                            MissingFolder missing) {
    const QFileInfo folder(QFileInfo(file).absolutePath());
    if (missing == MissingFolder::Refuse && !folder.isDir())
        throw Failure(
            QStringLiteral("no se puede escribir en %1: %2")
                .arg(file, folder.exists()
                               ? QStringLiteral("%1 no es una carpeta").arg(folder.filePath())
                               : QStringLiteral("la carpeta %1 no existe").arg(folder.filePath())));
    const QString lockPath = file + QStringLiteral(".lock");
    const QFileInfo lockInfo(lockPath);
    if ((lockInfo.exists() || lockInfo.isSymLink()) && !lockInfo.isFile())
        throw cannotWrite(file, QStringLiteral("%1 ocupa el lugar del archivo de bloqueo; "
                                               "bórrelo")
                                    .arg(lockPath));
    QDir().mkpath(folder.filePath());
    QLockFile lock(lockPath);
    if (!lock.tryLock(kLockWaitMs)) {
        const QString reason =
            lock.error() == QLockFile::LockFailedError
                ? QStringLiteral("otro programa lo tiene bloqueado (%1)").arg(lockPath)
            : lock.error() == QLockFile::PermissionError
                ? QStringLiteral("no se puede crear el bloqueo %1: permiso denegado").arg(lockPath)
                : QStringLiteral("no se puede crear el bloqueo %1").arg(lockPath);
        throw cannotWrite(file, reason);
    }
    const QByteArray before = readStoreFile(file);
    IniDocument doc = IniDocument::parse(before);
    change(doc);
    const QByteArray after = doc.serialize();
    if (after != before || !QFileInfo::exists(file))
        writeWhole(file, after);
    return doc;
}

RegStore::RegStore() = default;

RegStore::RegStore(QString file)
    : fixedFile_(std::move(file)) {}

QString RegStore::fileName() const {
    if (!fixedFile_.isEmpty())
        return fixedFile_;
    // The name is asked every time: a store opened under another name is
    // not this application's.
    const QString name = QCoreApplication::applicationName();
    return QDir(configHome()).filePath(name + QLatin1Char('/') + name + QStringLiteral(".conf"));
}

namespace {

// Enough to notice another program's change (a port mapped while the window
// is open) without reading the file again at every value.
QString stampOf(const QString& file) {
    const QFileInfo info(file);
    return QStringLiteral("%1 %2 %3")
        .arg(info.exists())
        .arg(info.size())
        .arg(info.lastModified().toMSecsSinceEpoch());
}

} // namespace

void RegStore::load() {
    const QString file = fileName();
    const QString stamp = stampOf(file);
    if (isLoaded_ && file == loadedFile_ && stamp == loadedStamp_)
        return;
    isLoaded_ = false;
    loaded_ = IniDocument::parse(readStoreFile(file));
    loadedFile_ = file;
    loadedStamp_ = stamp;
    isLoaded_ = true;
}

const IniDocument& RegStore::document() {
    load();
    return loaded_;
}

QString RegStore::GetSetting(const QString& section, const QString& key, const QString& fallback) {
    load();
    return loaded_.value(section, key).value_or(fallback);
}

void RegStore::SaveSetting(const QString& section, const QString& key, const QString& value) {
    pending_.push_back({section, key, value});
}

void RegStore::DeleteSetting(const QString& section, const QString& key) {
    pending_.push_back({section, key, std::nullopt});
}

void RegStore::flush() {
    const std::vector<Change> changes = std::exchange(pending_, {});
    if (changes.empty())
        return;
    const QString file = fileName();
    loaded_ = updateStoreFile(file, [&](IniDocument& doc) {
        for (const Change& c : changes) {
            if (c.value)
                doc.setValue(c.section, c.key, *c.value);
            else
                doc.remove(c.section, c.key);
        }
    });
    loadedFile_ = file;
    loadedStamp_ = stampOf(file);
    isLoaded_ = true;
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
