// Measures the paced sender against a pseudo-terminal: the gaps between
// characters as the far end sees them, the send time, and one whole upload
// with the real pauses. Prints figures only; it judges nothing.
#include "clocklink/frame.h"
#include "clocklink/puerto.h"
#include "clocklink/tiempo.h"
#include "clocklink/upload.h"

#include <QCoreApplication>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <thread>
#include <unistd.h>
#include <vector>

using namespace horvex;
using Clock = std::chrono::steady_clock;

namespace {

struct NoStatus : StatusLine {
    void setPanelText(int, const QString&) override {}
};
struct PrintBox : MessageBox {
    void critical(const QString& title, const QString& prompt) override {
        std::fprintf(stderr, "%s: %s\n", qPrintable(title), qPrintable(prompt));
    }
};

// Timestamps every byte that arrives on the master side until told to stop.
class Receiver {
public:
    explicit Receiver(int master)
        : thread_([this, master] { run(master); }) {}
    ~Receiver() {
        stop_ = true;
        if (thread_.joinable())
            thread_.join();
    }
    Receiver(const Receiver&) = delete;
    Receiver& operator=(const Receiver&) = delete;

    std::vector<Clock::time_point> stop() {
        stop_ = true;
        thread_.join();
        return times_;
    }

private:
    void run(int master) {
        pollfd fd{master, POLLIN, 0};
        char buf[256];
        while (!stop_) {
            if (::poll(&fd, 1, 20) <= 0)
                continue;
            const ssize_t n = ::read(master, buf, sizeof buf);
            const Clock::time_point now = Clock::now();
            for (ssize_t i = 0; i < n; ++i)
                times_.push_back(now);
        }
    }

    std::atomic<bool> stop_{false};
    std::vector<Clock::time_point> times_;
    std::thread thread_;
};

double ms(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    int master = -1;
    int slave = -1;
    if (::openpty(&master, &slave, nullptr, nullptr, nullptr) != 0) {
        std::perror("openpty");
        return 1;
    }
    const QString device = QString::fromLocal8Bit(::ttyname(slave));

    Module1 m;
    m.HoraAct = QStringLiteral("&H14");
    m.MinAct = QStringLiteral("&H05");
    m.SegAct = QStringLiteral("&H09");
    MSComm1 port([&](int) { return std::optional(device); });
    AbrirPuerto(port, QStringLiteral("1"));
    NoStatus status;
    PrintBox box;
    SleepPause pause;
    UploadCommand cmd(m, port, status, box, pause, unsetSchedule);
    PrepararDatos(m, unsetSchedule());

    std::vector<Clock::time_point> times;
    Clock::duration sendTime{};
    {
        Receiver receiver(master);
        const Clock::time_point start = Clock::now();
        cmd.saco_RS232();
        sendTime = Clock::now() - start;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        times = receiver.stop();
    }

    std::vector<double> gaps;
    for (std::size_t i = 1; i < times.size(); ++i)
        gaps.push_back(ms(times[i] - times[i - 1]));
    std::sort(gaps.begin(), gaps.end());
    std::printf("device            %s\n", qPrintable(device));
    std::printf("characters        %zu received of %d\n", times.size(), kFrameLength);
    if (!gaps.empty()) {
        const auto at = [&](double q) {
            return gaps[std::min(gaps.size() - 1, std::size_t(q * double(gaps.size())))];
        };
        std::printf("gap median        %.3f ms\n", at(0.5));
        std::printf("gap p99           %.3f ms\n", at(0.99));
        std::printf("gap max           %.3f ms\n", gaps.back());
    }
    std::printf("send time         %.1f ms\n", ms(sendTime));

    {
        Receiver drain(master);
        const Clock::time_point start = Clock::now();
        cmd.Actualizar_Click();
        std::printf("whole upload      %.3f s (fixed pauses 7.82 s)\n",
                    ms(Clock::now() - start) / 1000.0);
    }
    ::close(slave);
    ::close(master);
    return 0;
}
