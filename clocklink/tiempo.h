#pragma once

#include "clocklink/operator.h"

#include <functional>

namespace horvex {

// The real pause: a blocking sleep, then one pass of the event pump.
class SleepPause : public Pause {
public:
    using SleepUntil = std::function<void(Clock::time_point)>;

    // `sleepUntil` is the monotonic sleep to an absolute deadline; tests
    // replace it to see the deadlines asked for.
    explicit SleepPause(SleepUntil sleepUntil = sleepUntilDeadline);

    void Tiempo(double seconds) override;
    // Pumps waiting events once, then sleeps until since + seconds (plus a
    // margin that keeps every gap on the line at or above the pause).
    void TiempoDesde(Clock::time_point since, double seconds) override;

    // Sleeps until `deadline` on the monotonic clock; a signal does not cut
    // it short.
    static void sleepUntilDeadline(Clock::time_point deadline);
    static constexpr std::chrono::microseconds kMargin{50};
    static constexpr std::chrono::microseconds kAwake{200};

private:
    SleepUntil sleepUntil_;
};

// One sleep towards `deadline` on the monotonic clock; whether it has been
// reached, which it has not when a signal handler cut the sleep short.
bool sleepTowards(Pause::Clock::time_point deadline);

} // namespace horvex
