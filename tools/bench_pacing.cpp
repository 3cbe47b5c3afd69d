// Measures the paced sender against a pseudo-terminal, idle and with two
// busy loops of its own running: the gaps between characters as the far end
// sees them (median, 99th percentile, largest, smallest), the send time, and
// one whole upload with the real pauses. Prints figures only; it judges
// nothing. Usage: horvex-bench-pacing [uploads-per-condition]
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
#include <pthread.h>
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

// Timestamps every byte that arrives on the master side until stopped. It
// reads at a real-time priority where allowed, so that what it measures is
// the sender's pacing rather than its own reading delay.
class Receiver {
public:
    explicit Receiver(int master)
        : thread_([this, master] {
            times_.reserve(4096);
            run(master);
        }) {}
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
        const sched_param high{20};
        pthread_setschedparam(pthread_self(), SCHED_FIFO, &high);
        ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);
        pollfd fd{master, POLLIN, 0};
        char buf[256];
        Clock::time_point last{};
        while (!stop_) {
            // Close to when the next byte is due, wait awake for it: waking a
            // sleeping core takes longer than the jitter being measured.
            ssize_t n = -1;
            if (Clock::now() - last < std::chrono::milliseconds(30)) {
                SleepPause::sleepUntilDeadline(last + std::chrono::microseconds(9700));
                while (n <= 0 && Clock::now() - last < std::chrono::milliseconds(30))
                    n = ::read(master, buf, sizeof buf);
            } else if (::poll(&fd, 1, 20) > 0) {
                n = ::read(master, buf, sizeof buf);
            }
            if (n <= 0)
                continue;
            last = Clock::now();
            for (ssize_t i = 0; i < n; ++i)
                times_.push_back(last);
        }
    }

    std::atomic<bool> stop_{false};
    std::vector<Clock::time_point> times_;
    std::thread thread_;
};

// Two CPU-bound loops, bounded: they stop with the guard, or after a minute.
class BusyLoops {
public:
    BusyLoops() {
        const Clock::time_point limit = Clock::now() + std::chrono::minutes(1);
        for (int i = 0; i < 2; ++i)
            threads_.emplace_back([this, limit] {
                volatile unsigned long n = 0;
                while (!stop_ && Clock::now() < limit)
                    n = n + 1;
            });
    }
    ~BusyLoops() {
        stop_ = true;
        for (std::thread& t : threads_)
            t.join();
    }
    BusyLoops(const BusyLoops&) = delete;
    BusyLoops& operator=(const BusyLoops&) = delete;

private:
    std::atomic<bool> stop_{false};
    std::vector<std::thread> threads_;
};

// The real pause, noting when each character's write began: the sender's own
// gaps, before the pseudo-terminal's delivery adds its delays.
struct NotingPause : SleepPause {
    std::vector<Clock::time_point> writes;
    void TiempoDesde(Clock::time_point since, double seconds) override {
        writes.push_back(since);
        SleepPause::TiempoDesde(since, seconds);
    }
};

double ms(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

double quantile(std::vector<double> v, double q) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[std::min(v.size() - 1, std::size_t(q * double(v.size())))];
}

void measure(const char* condition, int uploads, UploadCommand& cmd, NotingPause& pause,
             int master) {
    std::vector<double> gaps, largest, smallest, sendTimes, senderGaps;
    std::size_t received = 0;
    for (int run = 0; run < uploads; ++run) {
        Receiver receiver(master);
        pause.writes.clear();
        pause.writes.reserve(kFrameLength);
        const Clock::time_point start = Clock::now();
        cmd.saco_RS232();
        for (std::size_t i = 1; i < pause.writes.size(); ++i)
            senderGaps.push_back(ms(pause.writes[i] - pause.writes[i - 1]));
        sendTimes.push_back(ms(Clock::now() - start));
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        const std::vector<Clock::time_point> times = receiver.stop();
        received += times.size();
        std::vector<double> own;
        for (std::size_t i = 1; i < times.size(); ++i)
            own.push_back(ms(times[i] - times[i - 1]));
        if (own.empty())
            continue;
        largest.push_back(*std::max_element(own.begin(), own.end()));
        smallest.push_back(*std::min_element(own.begin(), own.end()));
        gaps.insert(gaps.end(), own.begin(), own.end());
    }
    Clock::duration whole{};
    {
        Receiver drain(master);
        const Clock::time_point start = Clock::now();
        cmd.Actualizar_Click();
        whole = Clock::now() - start;
    }
    std::printf("%s (%d uploads, %zu characters received of %d)\n", condition, uploads, received,
                uploads * kFrameLength);
    std::printf("  gap median              %7.3f ms\n", quantile(gaps, 0.5));
    std::printf("  gap p99                 %7.3f ms\n", quantile(gaps, 0.99));
    std::printf("  largest gap             %7.3f ms (median of the uploads' largest %.3f)\n",
                quantile(largest, 1.0), quantile(largest, 0.5));
    std::printf("  smallest gap            %7.3f ms\n", quantile(smallest, 0.0));
    std::printf("  sender's own gaps       %7.3f ms median, %.3f ms p99, %.3f to %.3f ms\n",
                quantile(senderGaps, 0.5), quantile(senderGaps, 0.99), quantile(senderGaps, 0.0),
                quantile(senderGaps, 1.0));
    std::printf("  send time               %7.1f ms median, %.1f ms max\n",
                quantile(sendTimes, 0.5), quantile(sendTimes, 1.0));
    std::printf("  whole upload            %7.3f s (fixed pauses 7.82 s)\n", ms(whole) / 1000.0);
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const int uploads = argc > 1 ? std::max(1, std::atoi(argv[1])) : 12;
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
    NotingPause pause;
    UploadCommand cmd(m, port, status, box, pause, unsetSchedule);
    PrepararDatos(m, unsetSchedule());

    std::printf("device %s, running as %s\n", qPrintable(device),
                ::geteuid() == 0 ? "root" : "a user");
    measure("idle", uploads, cmd, pause, master);
    {
        const BusyLoops busy;
        measure("two busy loops", uploads, cmd, pause, master);
    }
    ::close(slave);
    ::close(master);
    return 0;
}
