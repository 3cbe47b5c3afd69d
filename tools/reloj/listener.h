#pragma once

#include "decoder.h"

#include <QString>
#include <deque>
#include <memory>
#include <optional>

namespace horvex::reloj {

// The clock's end of the line: a pseudo-terminal it creates, or a serial
// device, set to 2400 8N1 raw, read into chunks with arrival times. Usable
// in-process (from a thread of its own while the sender paces its bytes).
class Listener {
public:
    // A new pseudo-terminal; path() is the end to write to. Null on failure,
    // with the reason in *error.
    static std::unique_ptr<Listener> openPty(QString* error);
    static std::unique_ptr<Listener> openDevice(const QString& path, QString* error);

    ~Listener();
    Listener(const Listener&) = delete;
    Listener& operator=(const Listener&) = delete;

    const QString& path() const { return path_; }

    // Waits up to timeoutMs (-1: for ever) for the next complete chunk.
    // Nothing on time-out or when the line failed; error() then says why.
    std::optional<Chunk> next(int timeoutMs = -1);
    const QString& error() const { return error_; }

private:
    Listener(int fd, int hold, QString path);
    bool readSome();

    int fd_;   // where the frames are read
    int hold_; // our own hold on the pty's far end, so writers may come and go
    QString path_;
    QString error_;
    Splitter splitter_;
    std::deque<Chunk> ready_;
};

} // namespace horvex::reloj
