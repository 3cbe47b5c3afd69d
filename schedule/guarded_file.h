#pragma once

#include <QByteArray>
#include <QString>
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

// Takes an exclusive advisory lock on `file`, opened as for appending (so
// created if need be), trying for up to `waitMs`. The system drops the lock
// when the descriptor closes or the process ends, however it ends: a lock is
// never left behind. Nothing when another holds it all that time; throws
// Failure saying why the file cannot be opened or locked.
std::optional<UniqueFd> lockGuarded(const QString& file, int waitMs);

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
