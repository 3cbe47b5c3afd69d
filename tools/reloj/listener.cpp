#include "listener.h"

#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace horvex::reloj {

namespace {

QString failure(const QString& what) {
    return QStringLiteral("%1: %2").arg(what, QString::fromLocal8Bit(std::strerror(errno)));
}

// Raw 2400 8N1: no echo, no line editing, no CR/LF translation, no flow control.
bool setLine(int fd) {
    termios t{};
    if (tcgetattr(fd, &t) != 0)
        return false;
    cfmakeraw(&t);
    cfsetispeed(&t, B2400);
    cfsetospeed(&t, B2400);
    t.c_cflag &= ~(CSIZE | PARENB | CSTOPB | CRTSCTS);
    t.c_cflag |= CS8 | CLOCAL | CREAD;
    t.c_iflag &= ~(IXON | IXOFF | IXANY);
    t.c_cc[VMIN] = 1;
    t.c_cc[VTIME] = 0;
    return tcsetattr(fd, TCSANOW, &t) == 0;
}

double nowMs() {
    using namespace std::chrono;
    return duration<double, std::milli>(steady_clock::now().time_since_epoch()).count();
}

void closeFd(int fd) {
    if (fd >= 0)
        ::close(fd);
}

} // namespace

Listener::Listener(int fd, int hold, QString path)
    : fd_(fd)
    , hold_(hold)
    , path_(std::move(path)) {}

Listener::~Listener() {
    closeFd(hold_);
    closeFd(fd_);
}

std::unique_ptr<Listener> Listener::openPty(QString* error) {
    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) {
        *error = failure(QStringLiteral("cannot create a pseudo-terminal"));
        closeFd(master);
        return nullptr;
    }
    const QString path = QString::fromLocal8Bit(ptsname(master));
    // The line settings live on the far end, the one the sender writes to.
    const int hold = ::open(qPrintable(path), O_RDWR | O_NOCTTY);
    if (hold < 0 || !setLine(hold)) {
        *error = failure(path);
        closeFd(hold);
        closeFd(master);
        return nullptr;
    }
    return std::unique_ptr<Listener>(new Listener(master, hold, path));
}

std::unique_ptr<Listener> Listener::openDevice(const QString& path, QString* error) {
    // Non-blocking only for the open itself, so that missing modem lines cannot hang it.
    const int fd = ::open(qPrintable(path), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd < 0 || fcntl(fd, F_SETFL, 0) != 0 || !setLine(fd)) {
        *error = failure(path);
        closeFd(fd);
        return nullptr;
    }
    return std::unique_ptr<Listener>(new Listener(fd, -1, path));
}

std::optional<Chunk> Listener::next(int timeoutMs) {
    const double deadline = nowMs() + timeoutMs;
    while (ready_.empty()) {
        const double now = nowMs();
        const double expiry = splitter_.msUntilExpiry(now);
        const double left = timeoutMs < 0 ? -1 : std::max(0.0, deadline - now);
        // Wake for whichever comes first: a byte, a frame's silence, the caller's time-out.
        double wait = expiry < 0 ? left : expiry + 1;
        if (left >= 0 && expiry >= 0)
            wait = std::min(left, expiry + 1);
        pollfd p{fd_, POLLIN, 0};
        const int r = ::poll(&p, 1, wait < 0 ? -1 : static_cast<int>(std::ceil(wait)));
        if (r < 0 && errno == EINTR)
            continue;
        if (r < 0) {
            error_ = failure(QStringLiteral("poll"));
            return std::nullopt;
        }
        if (r > 0 && !readSome())
            return std::nullopt;
        if (auto c = splitter_.expire(nowMs()))
            ready_.push_back(std::move(*c));
        if (ready_.empty() && timeoutMs >= 0 && nowMs() >= deadline)
            return std::nullopt;
    }
    Chunk c = std::move(ready_.front());
    ready_.pop_front();
    return c;
}

bool Listener::readSome() {
    char buf[256];
    const ssize_t n = ::read(fd_, buf, sizeof buf);
    if (n <= 0) {
        error_ = n == 0 ? path_ + QStringLiteral(": the line closed") : failure(path_);
        return false;
    }
    const double at = nowMs();
    const double wall = std::chrono::duration<double, std::milli>(
                            std::chrono::system_clock::now().time_since_epoch())
                            .count();
    for (ssize_t i = 0; i < n; ++i)
        for (Chunk& c : splitter_.push(buf[i], at)) {
            c.completedWallMs = wall;
            ready_.push_back(std::move(c));
        }
    return true;
}

} // namespace horvex::reloj
