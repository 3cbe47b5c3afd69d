#include "clocklink/signal_hold.h"

#include <cerrno>
#include <cstring>
#include <ctime>
#include <utility>

namespace horvex {

namespace {

volatile std::sig_atomic_t held = 0;

extern "C" void note(int signal) {
    if (held == 0)
        held = signal;
}

timespec timespecOf(std::chrono::nanoseconds ns) {
    return {static_cast<time_t>(ns.count() / 1'000'000'000),
            static_cast<long>(ns.count() % 1'000'000'000)};
}

} // namespace

SignalHold::SignalHold() {
    held = 0;
    struct sigaction noting {};
    noting.sa_handler = note;
    sigemptyset(&noting.sa_mask);
    for (std::size_t i = 0; i < kSignals.size(); ++i) {
        if (::sigaction(kSignals[i], nullptr, &former_[i]) != 0 || former_[i].sa_handler == SIG_IGN)
            continue;
        installed_[i] = ::sigaction(kSignals[i], &noting, nullptr) == 0;
    }
}

int SignalHold::caught() const {
    return held;
}

bool SignalHold::sleepUntil(std::chrono::steady_clock::time_point deadline) const {
    using std::chrono::nanoseconds;
    const timespec at =
        timespecOf(std::chrono::duration_cast<nanoseconds>(deadline.time_since_epoch()));
    while (caught() == 0) {
        const int failed = ::clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &at, nullptr);
        const auto left = deadline - std::chrono::steady_clock::now();
        if (failed != EINTR && (failed == 0 || left.count() <= 0))
            break;
        // A library that fakes the time of day (libfaketime) can refuse an
        // absolute deadline: the rest is slept as a length.
        if (failed != EINTR) {
            const timespec rest = timespecOf(std::chrono::duration_cast<nanoseconds>(left));
            ::clock_nanosleep(CLOCK_MONOTONIC, 0, &rest, nullptr);
        }
    }
    return caught() == 0;
}

void SignalHold::release() {
    if (std::exchange(released_, true))
        return;
    for (std::size_t i = 0; i < kSignals.size(); ++i)
        if (installed_[i])
            ::sigaction(kSignals[i], &former_[i], nullptr);
    if (const int signal = caught(); signal != 0)
        ::raise(signal);
}

QString SignalHold::name(int signal) {
    return QStringLiteral("SIG") + QString::fromLatin1(::sigabbrev_np(signal));
}

} // namespace horvex
