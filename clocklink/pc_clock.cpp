#include "clocklink/pc_clock.h"

#include <sys/timex.h>

namespace horvex {

std::optional<QString> unsynchronisedPcClock() {
    timex tx{};
    const int state = ::adjtimex(&tx);
    if (state != TIME_ERROR && (tx.status & STA_UNSYNC) == 0)
        return std::nullopt;
    return QStringLiteral("la hora del PC no está sincronizada con ningún servidor de hora "
                          "(adjtimex): el reloj tomará la del PC tal cual");
}

} // namespace horvex
