#include "schedule/guarded_file.h"

#include "schedule/failure.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QThread>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace horvex {

UniqueFd::~UniqueFd() {
    if (fd_ >= 0)
        ::close(fd_);
}

UniqueFd& UniqueFd::operator=(UniqueFd&& other) noexcept {
    if (this != &other) {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
}

QString systemReason() {
    return QString::fromLocal8Bit(std::strerror(errno));
}

QString sizeText(qint64 bytes) {
    if (bytes < 1024)
        return QStringLiteral("%1 bytes").arg(bytes);
    if (bytes < 1024 * 1024)
        return QStringLiteral("%1 KB").arg(bytes / 1024);
    return QStringLiteral("%1 MB").arg(QString::number(double(bytes) / (1024 * 1024), 'f', 1)
                                           .replace(QLatin1Char('.'), QLatin1Char(',')));
}

std::optional<UniqueFd> openGuarded(const QString& file, FileAccess access) {
    const QFileInfo info(file);
    if (info.isSymLink() && !info.exists() && access == FileAccess::Read)
        throw Failure(
            QStringLiteral("%1 es un enlace a %2, que no existe").arg(file, info.symLinkTarget()));
    const bool reading = access == FileAccess::Read;
    // Non-blocking, so that a FIFO put in the file's place cannot hang us
    // before the check below refuses it.
    const int flags = O_NONBLOCK | O_CLOEXEC | (reading ? O_RDONLY : O_WRONLY | O_APPEND | O_CREAT);
    UniqueFd fd(::open(QFile::encodeName(file).constData(), flags, 0666));
    if (!fd.valid() && reading && (errno == ENOENT || errno == ENOTDIR))
        return std::nullopt;
    const auto folder = [&] {
        return Failure(QStringLiteral("%1 es una carpeta, no un archivo").arg(file));
    };
    const auto notRegular = [&] {
        return Failure(
            QStringLiteral("%1 no es un archivo normal (es un FIFO, un dispositivo o un socket)")
                .arg(file));
    };
    if (!fd.valid() && errno == EISDIR)
        throw folder();
    // A FIFO with no reader refuses a non-blocking writer: say what it is.
    if (!fd.valid() && errno == ENXIO)
        throw notRegular();
    struct stat st {};
    if (!fd.valid() || ::fstat(fd.get(), &st) != 0)
        throw Failure(QStringLiteral("no se puede %1 %2: %3")
                          .arg(reading ? QStringLiteral("leer") : QStringLiteral("escribir en"),
                               file, systemReason()));
    if (S_ISDIR(st.st_mode))
        throw folder();
    if (!S_ISREG(st.st_mode))
        throw notRegular();
    // A regular file never blocks; from here on reads and writes are plain.
    ::fcntl(fd.get(), F_SETFL, ::fcntl(fd.get(), F_GETFL) & ~O_NONBLOCK);
    return fd;
}

QByteArray readGuarded(const QString& file, qint64 limit) {
    const std::optional<UniqueFd> fd = openGuarded(file, FileAccess::Read);
    if (!fd)
        return {};
    struct stat st {};
    ::fstat(fd->get(), &st);
    const auto tooLarge = [&](qint64 size) {
        return Failure(QStringLiteral("%1 ocupa %2, más de lo que puede ocupar (%3): no se lee")
                           .arg(file, sizeText(size), sizeText(limit)));
    };
    if (st.st_size > limit)
        throw tooLarge(st.st_size);
    QByteArray bytes;
    char buffer[64 * 1024];
    for (;;) {
        const ssize_t n = ::read(fd->get(), buffer, sizeof buffer);
        if (n == 0)
            return bytes;
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            throw Failure(QStringLiteral("no se puede leer %1: %2").arg(file, systemReason()));
        bytes.append(buffer, n);
        // A file that grows while it is read is held to the same limit.
        if (bytes.size() > limit)
            throw tooLarge(bytes.size());
    }
}

QByteArray readExisting(const QString& file, qint64 limit) {
    const QFileInfo info(file);
    if (!info.exists() && !info.isSymLink())
        throw Failure(QStringLiteral("%1 no existe").arg(file));
    return readGuarded(file, limit);
}

HeldLock::~HeldLock() {
    // Removed while still held: whoever opened it meanwhile finds, once it
    // has the lock, that the name is gone, and opens afresh.
    if (fd_.valid())
        ::unlink(QFile::encodeName(file_).constData());
}

namespace {

// Whether `fd` is still the file the name `file` stands for.
bool stillNamed(int fd, const QString& file) {
    struct stat held {
    }, named{};
    return ::fstat(fd, &held) == 0 && ::stat(QFile::encodeName(file).constData(), &named) == 0 &&
           held.st_dev == named.st_dev && held.st_ino == named.st_ino;
}

} // namespace

std::optional<HeldLock> lockGuarded(const QString& file, int waitMs,
                                    const std::function<void()>& between) {
    makeFolders(QFileInfo(file).absolutePath());
    QElapsedTimer waited;
    waited.start();
    for (;;) {
        UniqueFd fd = std::move(*openGuarded(file, FileAccess::Append));
        while (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0) {
            if (errno == EINTR)
                continue;
            if (errno != EWOULDBLOCK)
                throw Failure(
                    QStringLiteral("no se puede bloquear %1: %2").arg(file, systemReason()));
            if (waited.elapsed() >= waitMs)
                return std::nullopt;
            if (between)
                between();
            else
                QThread::msleep(20);
        }
        if (stillNamed(fd.get(), file))
            return HeldLock(file, std::move(fd));
    }
}

bool writeAll(int fd, QByteArrayView bytes) {
    while (!bytes.isEmpty()) {
        const ssize_t n = ::write(fd, bytes.data(), static_cast<std::size_t>(bytes.size()));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            // A write that takes nothing and says nothing: the disk is full.
            if (n == 0)
                errno = ENOSPC;
            return false;
        }
        bytes = bytes.sliced(n);
    }
    return true;
}

void makeFolders(const QString& folder) {
    const QFileInfo info(folder);
    if (info.isDir())
        return;
    if (info.exists() || info.isSymLink())
        throw Failure(QStringLiteral("%1 existe y no es una carpeta").arg(folder));
    makeFolders(info.absolutePath());
    if (::mkdir(QFile::encodeName(folder).constData(), 0777) != 0 && errno != EEXIST)
        throw Failure(
            QStringLiteral("no se puede crear la carpeta %1: %2").arg(folder, systemReason()));
}

} // namespace horvex
