// libFuzzer target: arbitrary texts in every field of the frame. Either the
// builder refuses with a Failure, or the frame is whole and well formed.

#include "clocklink/frame.h"
#include "schedule/failure.h"

#include <QList>
#include <cstdint>
#include <cstdlib>

namespace {

void check(bool condition) {
    if (!condition)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // Fields are separated by newlines: 3 time texts, 36 x (hour, minute,
    // check), short, long. Missing fields stay empty.
    const QList<QByteArray> parts =
        QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size)).split('\n');
    int next = 0;
    const auto field = [&]() {
        return next < parts.size() ? QString::fromUtf8(parts[next++]) : (++next, QString());
    };
    const QString hora = field();
    const QString min = field();
    const QString seg = field();
    horvex::ClockSchedule shown;
    for (horvex::AlarmSlot& slot : shown.alarms) {
        slot.hour = field();
        slot.minute = field();
        slot.check = field().toInt();
    }
    shown.shortRing = field();
    shown.longRing = field();

    try {
        const QByteArray frame = horvex::buildFrame(shown, hora, min, seg);
        check(frame.size() == horvex::kFrameLength);
        check(frame.at(0) == 0x02);
        check(frame.endsWith("KT\r\n"));
        for (int i = 1; i < 78; ++i)
            check(static_cast<std::uint8_t>(frame.at(i)) >= 0x30);
    } catch (const horvex::Failure& failure) {
        check(!failure.description().isEmpty());
    }
    return 0;
}
