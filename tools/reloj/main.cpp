// horvex-reloj: a virtual bell clock. It listens on a pseudo-terminal (or on a
// serial device given on the command line, for a real null-modem cable) at
// 2400 8N1 and checks every upload frame as the clock would need it.

#include "decoder.h"
#include "report.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QJsonDocument>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>
#include <utility>

using namespace horvex::reloj;

namespace {

enum Exit { kGood = 0, kBad = 1, kLineError = 2 };

class Fd {
public:
    explicit Fd(int fd = -1)
        : fd_(fd) {}
    Fd(Fd&& o) noexcept
        : fd_(std::exchange(o.fd_, -1)) {}
    Fd& operator=(Fd&& o) noexcept {
        std::swap(fd_, o.fd_);
        return *this;
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    ~Fd() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }

private:
    int fd_;
};

struct Line {
    Fd fd;    // where the frames are read
    Fd slave; // our own hold on the pty's far end, so it survives writers closing it
    QString path;
};

void complain(const QString& what) {
    std::fprintf(stderr, "horvex-reloj: %s: %s\n", qPrintable(what), std::strerror(errno));
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

std::optional<Line> openPty() {
    Line line{Fd(posix_openpt(O_RDWR | O_NOCTTY)), Fd(), {}};
    if (!line.fd.valid() || grantpt(line.fd.get()) != 0 || unlockpt(line.fd.get()) != 0) {
        complain(QStringLiteral("cannot create a pseudo-terminal"));
        return std::nullopt;
    }
    line.path = QString::fromLocal8Bit(ptsname(line.fd.get()));
    // The line settings live on the far end, the one the sender writes to.
    line.slave = Fd(::open(qPrintable(line.path), O_RDWR | O_NOCTTY));
    if (!line.slave.valid() || !setLine(line.slave.get())) {
        complain(line.path);
        return std::nullopt;
    }
    return line;
}

std::optional<Line> openDevice(const QString& path) {
    Line line{Fd(::open(qPrintable(path), O_RDWR | O_NOCTTY | O_NONBLOCK)), Fd(), path};
    // Non-blocking only for the open itself, so that missing modem lines cannot hang it.
    if (!line.fd.valid() || fcntl(line.fd.get(), F_SETFL, 0) != 0 || !setLine(line.fd.get())) {
        complain(path);
        return std::nullopt;
    }
    return line;
}

double nowMs() {
    using namespace std::chrono;
    return duration<double, std::milli>(steady_clock::now().time_since_epoch()).count();
}

void print(const QString& text) {
    std::fputs(text.toLocal8Bit().constData(), stdout);
    std::fflush(stdout);
}

bool report(const Chunk& c, bool json) {
    const Decoded d = decode(c.bytes, c.arrivalMs);
    if (json)
        print(QString::fromUtf8(
                  QJsonDocument(jsonReport(d, c.endedBySilence)).toJson(QJsonDocument::Compact)) +
              QLatin1Char('\n'));
    else
        print(textReport(d, c.endedBySilence) + QLatin1Char('\n'));
    return d.ok();
}

// Waits for bytes; a chunk is reported when it is complete or the line has
// been quiet for a second. Returns only with --once or on a line failure.
int listen(int fd, bool once, bool json) {
    Splitter splitter;
    for (;;) {
        const double wait = splitter.msUntilExpiry(nowMs());
        pollfd p{fd, POLLIN, 0};
        const int r = ::poll(&p, 1, wait < 0 ? -1 : static_cast<int>(std::ceil(wait)) + 1);
        if (r < 0 && errno == EINTR)
            continue;
        if (r < 0) {
            complain(QStringLiteral("poll"));
            return kLineError;
        }
        QList<Chunk> done;
        if (r == 0) {
            if (auto c = splitter.expire(nowMs()))
                done.append(std::move(*c));
        } else {
            char buf[256];
            const ssize_t n = ::read(fd, buf, sizeof buf);
            if (n <= 0) {
                complain(QStringLiteral("the line closed"));
                return kLineError;
            }
            const double at = nowMs();
            for (ssize_t i = 0; i < n; ++i)
                done.append(splitter.push(buf[i], at));
        }
        for (const Chunk& c : done) {
            const bool good = report(c, json);
            if (once)
                return good ? kGood : kBad;
        }
    }
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("horvex-reloj"));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("A virtual bell clock: checks and shows every upload frame it receives.\n"
                       "Without a device it creates a pseudo-terminal and prints its path."));
    parser.addHelpOption();
    const QCommandLineOption once(QStringLiteral("once"),
                                  QStringLiteral("Exit after one frame: 0 if good, 1 if not."));
    const QCommandLineOption json(QStringLiteral("json"),
                                  QStringLiteral("Print each frame as one line of JSON."));
    parser.addOptions({once, json});
    parser.addPositionalArgument(QStringLiteral("device"),
                                 QStringLiteral("Serial device to listen on, e.g. /dev/ttyUSB0."),
                                 QStringLiteral("[device]"));
    parser.process(app);

    const QStringList args = parser.positionalArguments();
    if (args.size() > 1)
        parser.showHelp(kLineError);
    const std::optional<Line> line = args.isEmpty() ? openPty() : openDevice(args.first());
    if (!line)
        return kLineError;

    // The path goes to stderr so that stdout carries nothing but frame reports.
    std::fprintf(stderr, "Virtual clock listening on %s (2400 8N1, raw)\n", qPrintable(line->path));
    std::fflush(stderr);
    return listen(line->fd.get(), parser.isSet(once), parser.isSet(json));
}
