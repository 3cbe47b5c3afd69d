#pragma once

#include "clocklink/operator.h"

namespace horvex {

// The real pause: a blocking sleep, then one pass of the event pump.
class SleepPause : public Pause {
public:
    void Tiempo(double seconds) override;
};

} // namespace horvex
