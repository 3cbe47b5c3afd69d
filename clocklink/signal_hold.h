#pragma once

#include <QString>
#include <array>
#include <chrono>
#include <csignal>

namespace horvex {

// For the length of a frame and its record: SIGTERM, SIGINT and SIGHUP (a
// stop from systemd, Ctrl+C, a logout) do not end the program halfway
// through the frame. The first one to arrive is noted; when the hold ends it
// is raised again under the handling the program had before, so the program
// ends as the signal asked, once the frame is out and recorded. A signal the
// program was ignoring stays ignored. One hold at a time.
class SignalHold {
public:
    SignalHold();
    ~SignalHold() { release(); }
    SignalHold(const SignalHold&) = delete;
    SignalHold& operator=(const SignalHold&) = delete;

    // The signal held so far, 0 when none.
    int caught() const;

    // Sleeps until `deadline` on the monotonic clock; false when a held
    // signal cut the sleep short.
    bool sleepUntil(std::chrono::steady_clock::time_point deadline) const;

    // Puts the former handling back and raises the held signal, if any.
    void release();

    static QString name(int signal); // "SIGTERM"

private:
    static constexpr std::array<int, 3> kSignals{SIGTERM, SIGINT, SIGHUP};
    std::array<struct sigaction, kSignals.size()> former_{};
    std::array<bool, kSignals.size()> installed_{};
    bool released_ = false;
};

} // namespace horvex
