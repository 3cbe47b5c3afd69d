#include "schedule/reg_store.h"

#include "schedule/failure.h"
#include "schedule/guarded_file.h"
#include "schedule/xdg.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
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

// Beside the file it replaces, so that the rename stays in one file system;
// named so that nothing but our own temporaries can match.
QByteArray temporaryTemplate(const QString& target) {
    return QFile::encodeName(target) + ".tmp-XXXXXX";
}

// A save killed before its rename leaves its temporary file. Under the lock
// no other save is writing one, so every temporary of ours there is stale.
void removeStaleTemporaries(const QString& target) {
    const QFileInfo info(target);
    const QString prefix = info.fileName() + QStringLiteral(".tmp-");
    const QRegularExpression ours(QRegularExpression::anchoredPattern(
        QRegularExpression::escape(prefix) + QStringLiteral("[A-Za-z0-9]{6}")));
    const QDir folder = info.absoluteDir();
    for (const QString& name :
         folder.entryList({prefix + QLatin1Char('*')}, QDir::Files | QDir::CaseSensitive)) {
        const QByteArray path = QFile::encodeName(folder.filePath(name));
        struct stat st {};
        if (ours.match(name).hasMatch() && ::lstat(path.constData(), &st) == 0 &&
            S_ISREG(st.st_mode) && st.st_uid == ::geteuid())
            ::unlink(path.constData());
    }
}

// An existing file must be one we may write: a store its owner made
// read-only stays as it is, though the rename could replace it. Returns the
// mode the new file keeps.
mode_t checkedMode(const QString& file, const QString& target) {
    struct stat old {};
    const QByteArray path = QFile::encodeName(target);
    if (::stat(path.constData(), &old) != 0) {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        return 0666 & ~mask;
    }
    if ((old.st_mode & 0222) == 0)
        throw cannotWrite(file, QStringLiteral("es de solo lectura (permisos %1)")
                                    .arg(old.st_mode & 07777, 3, 8, QLatin1Char('0')));
    if (::access(path.constData(), W_OK) != 0)
        throw cannotWrite(file, systemReason());
    return old.st_mode & 07777;
}

// Qt 6.4's QSaveFile reports success after a short write (full disk, quota)
// and leaves a truncated file, so the writing and its checks are our own:
// a temporary file beside the target, every write checked, then a rename.
void writeWhole(const QString& file, const QByteArray& bytes) {
    const QString target = writeTarget(file);
    const mode_t mode = checkedMode(file, target);
    QByteArray temp = temporaryTemplate(target);
    const UniqueFd fd(::mkstemp(temp.data()));
    if (fd.get() < 0)
        throw cannotWrite(file, systemReason());
    const auto fail = [&] {
        const Failure failure = cannotWrite(file, systemReason());
        ::unlink(temp.constData());
        return failure;
    };
    if (::fchmod(fd.get(), mode) != 0 || !writeAll(fd.get(), bytes) || ::fsync(fd.get()) != 0 ||
        ::rename(temp.constData(), QFile::encodeName(target).constData()) != 0)
        throw fail();
}

} // namespace

void replaceFile(const QString& file, const QByteArray& bytes) {
    writeWhole(file, bytes);
}

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
    const std::optional<HeldLock> lock = [&] {
        try {
            return lockGuarded(lockPath, kLockWaitMs);
        } catch (const Failure& f) {
            throw cannotWrite(file, f.description());
        }
    }();
    if (!lock)
        throw cannotWrite(file,
                          QStringLiteral("otro programa lo tiene bloqueado (%1)").arg(lockPath));
    const QByteArray before = readStoreFile(file);
    IniDocument doc = IniDocument::parse(before);
    change(doc);
    removeStaleTemporaries(writeTarget(file));
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
    if (!refusal_.isEmpty())
        throw Failure(refusal_);
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
