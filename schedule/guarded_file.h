#pragma once

#include <QByteArray>
#include <QString>
#include <functional>
#include <optional>
#include <utility>

namespace horvex {

// Closes a descriptor when it goes out of scope.
class UniqueFd {
public:
    explicit UniqueFd(int fd = -1)
        : fd_(fd) {}
    ~UniqueFd();
    UniqueFd(UniqueFd&& other) noexcept
        : fd_(std::exchange(other.fd_, -1)) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept;
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;

    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }

private:
    int fd_;
};

// The one way the program opens a file it reads or appends to: the store,
// schedule files, the record of uploads, calendars. Only a regular file (or a
// link to one) is opened; a FIFO, a device, a socket or a folder in its place
// is refused at once, without blocking, with a message that says what it is.
enum class FileAccess { Read, Append };

// The open file, or nothing when there is no file to read. Appending creates
// the file. Throws Failure saying why it cannot be opened.
std::optional<UniqueFd> openGuarded(const QString& file, FileAccess access);

// The whole of a file, or an empty text when there is none. A file larger
// than `limit` bytes is refused before any of it is read.
QByteArray readGuarded(const QString& file, qint64 limit);

// The same for a file that must be there: throws Failure "… no existe"
// when it is not.
QByteArray readExisting(const QString& file, qint64 limit);

// An exclusive advisory lock on a file, the system's: it goes with its
// process however that ends, so a lock is never left behind. The file is
// removed when the lock is let go, so that no lock file stays beside a store
// or an exported schedule.
class HeldLock {
public:
    HeldLock(QString file, UniqueFd fd)
        : file_(std::move(file))
        , fd_(std::move(fd)) {}
    ~HeldLock();
    HeldLock(HeldLock&&) noexcept = default;
    HeldLock& operator=(HeldLock&&) = delete;

    int fd() const { return fd_.get(); }

private:
    QString file_;
    UniqueFd fd_;
};

// Takes the lock on `file`, opened as for appending (so created if need be,
// with its folders), trying for up to `waitMs`. Nothing when another holds it all that time;
// throws Failure saying why the file cannot be opened or locked. Between two
// tries `between` runs (a window pumps its events there), else 20 ms pass.
std::optional<HeldLock> lockGuarded(const QString& file, int waitMs,
                                    const std::function<void()>& between = {});

// Writes all of `bytes`, resuming after short writes; false with errno set
// when the system refuses the rest.
bool writeAll(int fd, QByteArrayView bytes);

// Creates `folder` and the folders above it. Throws Failure naming the one
// that cannot be made and why ("/home/ana existe y no es una carpeta").
void makeFolders(const QString& folder);

// The system's reason for the last failed call ("No space left on device").
QString systemReason();

// "1,5 MB", "300 KB", "82 bytes", for messages.
QString sizeText(qint64 bytes);

} // namespace horvex
