#include "clocklink/tiempo.h"

#include <QCoreApplication>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <ctime>

namespace horvex {

namespace {

std::chrono::milliseconds toMs(double seconds) {
    return std::chrono::milliseconds(std::lround(seconds * 1000.0));
}

timespec timespecOf(std::chrono::nanoseconds ns) {
    return {static_cast<time_t>(ns.count() / 1'000'000'000),
            static_cast<long>(ns.count() % 1'000'000'000)};
}

void pumpOnce() {
    if (QCoreApplication::instance() != nullptr)
        QCoreApplication::processEvents();
}

} // namespace

SleepPause::SleepPause(SleepUntil sleepUntil)
    : sleepUntil_(std::move(sleepUntil)) {}

void SleepPause::Tiempo(double seconds) {
    const auto ms = toMs(seconds);
    if (ms.count() > 0)
        sleepUntil_(Clock::now() + ms);
    // Whatever arrived during the sleep (timer ticks, clicks, repaints) runs
    // now, once.
    pumpOnce();
}

void SleepPause::TiempoDesde(Clock::time_point since, double seconds) {
    // Events first: whatever they take comes out of the pause, not on top.
    pumpOnce();
    const Clock::time_point deadline = since + toMs(seconds) + kMargin;
    // Waking a sleeping core can take longer than the margin; the last
    // fraction of a millisecond is waited out awake.
    sleepUntil_(deadline - kAwake);
    while (Clock::now() < deadline) {
    }
}

void SleepPause::sleepUntilDeadline(Clock::time_point deadline) {
    while (!sleepTowards(deadline)) {
    }
}

bool sleepTowards(Pause::Clock::time_point deadline) {
    // steady_clock is CLOCK_MONOTONIC; an absolute deadline does not drift
    // with wake-up delays or interruptions.
    const timespec at = timespecOf(deadline.time_since_epoch());
    const int failed = ::clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &at, nullptr);
    if (failed == EINTR)
        return false;
    const auto left = deadline - Pause::Clock::now();
    if (failed == 0 || left.count() <= 0)
        return true;
    // A library that fakes the time of day (libfaketime) can refuse an
    // absolute deadline: the rest is slept as a length.
    const timespec rest = timespecOf(left);
    ::clock_nanosleep(CLOCK_MONOTONIC, 0, &rest, nullptr);
    return Pause::Clock::now() >= deadline;
}

} // namespace horvex
