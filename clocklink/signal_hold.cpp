#include "clocklink/signal_hold.h"

#include "clocklink/tiempo.h"

#include <cstring>
#include <utility>

namespace horvex {

namespace {

volatile std::sig_atomic_t held = 0;

extern "C" void note(int signal) {
    if (held == 0)
        held = signal;
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
    while (caught() == 0 && !sleepTowards(deadline)) {
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
