#include "clocklink/tiempo.h"

#include <QCoreApplication>
#include <chrono>
#include <cmath>
#include <thread>

namespace horvex {

void SleepPause::Tiempo(double seconds) {
    const long ms = std::lround(seconds * 1000.0);
    if (ms > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    // Whatever arrived during the sleep (timer ticks, clicks, repaints) runs
    // now, once.
    if (QCoreApplication::instance() != nullptr)
        QCoreApplication::processEvents();
}

} // namespace horvex
