#pragma once

#include "schedule/module1.h"

#include <QByteArray>
#include <QString>
#include <optional>

namespace horvex {

inline constexpr int kFrameLength = 82;
// Where the fields sit: STX, the time of day (three bytes), each slot's hour
// and minute, the short and the long ring, then "KT\r\n".
inline constexpr int kSlotsAt = 4;
inline constexpr int kRingsAt = kSlotsAt + 2 * kSlots;
static_assert(kRingsAt + 2 + 4 == kFrameLength);

// Builds the 82-byte upload frame from the schedule the window shows and the
// three time-of-day texts ("&H14", "&H05", "&H09"). Every value byte is the
// two digits read as hexadecimal (packed BCD) plus 0x30; a slot whose check
// value is exactly 1 gets 0x80 on its hour byte.
//
// A text that is not one or two decimal digits (an empty list, a stray
// letter) or a byte that would overflow throws a Failure naming the field;
// no frame is produced then. A one-digit text reads as if it had a leading
// zero: "7" gives 0x37, the same byte as "07".
QByteArray buildFrame(const ClockSchedule& shown, const QString& horaAct, const QString& minAct,
                      const QString& segAct);

// The schedule a frame of ours carries, read back from its bytes: what the
// clock took from it. Nothing when the bytes are not such a frame.
std::optional<ClockSchedule> scheduleOfFrame(const QByteArray& frame);

// The building step of the upload: DatosTx = the frame for what the window
// shows and the current time-of-day texts. On failure DatosTx is left empty,
// so nothing can be sent from it.
void PrepararDatos(Module1& m, const ClockSchedule& shown);

} // namespace horvex
