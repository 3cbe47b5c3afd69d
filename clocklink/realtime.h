#pragma once

#include <sched.h>

namespace horvex {

// For the length of a frame: the calling thread's timer slack at 1 us, so
// that sleeps end on time, and, where the system allows it (root, or an
// rtprio limit granted by the administrator), a low real-time priority, so
// that a busy PC does not delay a character. Where it is refused the thread
// goes on at its normal priority, silently. Everything is restored when the
// guard goes out of scope, on failure too.
class RealtimeSend {
public:
    RealtimeSend();
    ~RealtimeSend();
    RealtimeSend(const RealtimeSend&) = delete;
    RealtimeSend& operator=(const RealtimeSend&) = delete;

    bool realtime() const { return raised_; }

    static constexpr int kPriority = 10;

private:
    int oldPolicy_ = SCHED_OTHER;
    sched_param oldParam_{};
    long oldSlack_ = -1;
    bool raised_ = false;
};

} // namespace horvex
