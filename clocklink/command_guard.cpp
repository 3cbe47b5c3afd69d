#include "clocklink/command_guard.h"

#include <QTimer>

namespace horvex {

bool FrameGate::holds(std::function<void()> command) {
    if (!sending_)
        return false;
    held_.push_back(std::move(command));
    return true;
}

FrameGate::Sending::Sending(FrameGate& gate)
    : gate_(gate)
    , outermost_(!gate.sending_) {
    gate_.sending_ = true;
}

FrameGate::Sending::~Sending() {
    if (!outermost_)
        return;
    gate_.sending_ = false;
    gate_.release();
}

void FrameGate::release() {
    // Posted, not run here: they run at the next pump, as any click would,
    // not inside the sender.
    for (std::function<void()>& command : std::exchange(held_, {}))
        QTimer::singleShot(0, &context_, std::move(command));
}

} // namespace horvex
