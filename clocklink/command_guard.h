#pragma once

#include <QObject>
#include <functional>
#include <vector>

namespace horvex {

// Marks a command as running for its whole length, failures included, so
// that a press that arrives during its own pauses can be refused.
class RunningFlag {
public:
    explicit RunningFlag(bool& flag)
        : flag_(flag) {
        flag_ = true;
    }
    ~RunningFlag() { flag_ = false; }
    RunningFlag(const RunningFlag&) = delete;
    RunningFlag& operator=(const RunningFlag&) = delete;

private:
    bool& flag_;
};

// From the first to the last character of a frame nothing else may run that
// could delay the line, change the port or end the program. The pacing pauses
// still pump events (the clock display, repaints), so a command that arrives
// meanwhile is held, and runs from the event loop once the frame is out.
class FrameGate {
public:
    bool sending() const { return sending_; }

    // True when `command` was held because a frame is going out; the caller
    // then does nothing now.
    bool holds(std::function<void()> command);

    // Marks a frame as going out for the guard's life; one inside another
    // changes nothing.
    class Sending {
    public:
        explicit Sending(FrameGate& gate);
        ~Sending();
        Sending(const Sending&) = delete;
        Sending& operator=(const Sending&) = delete;

    private:
        FrameGate& gate_;
        bool outermost_;
    };

private:
    void release();

    bool sending_ = false;
    std::vector<std::function<void()>> held_;
    QObject context_; // held commands die with the gate
};

} // namespace horvex
