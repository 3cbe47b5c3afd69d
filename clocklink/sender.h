#pragma once

#include "clocklink/mscomm.h"
#include "clocklink/operator.h"
#include "schedule/failure.h"

#include <QByteArray>

namespace horvex {

// A frame cut short: some characters went out, the rest did not.
class FrameCut : public Failure {
public:
    FrameCut(const QString& reason, int sent, int count);
    int sent() const { return sent_; }

private:
    int sent_;
};

// Hands the first `count` characters of `data` to the port one at a time,
// each followed by the 0.01 s pause counted from the start of its write.
// `data` is read afresh for each character. Throws Failure before the first
// character when the port is closed, FrameCut when a write fails (the port is
// closed then, so nothing queued follows later).
void sendPaced(const QByteArray& data, int count, MSComm1& port, Pause& pause);

} // namespace horvex
