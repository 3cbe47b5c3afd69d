#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <array>
#include <optional>

// The clock's side of the upload: splits what arrives on the line into frames
// and decodes them on its own, without the frame builder, so that the two
// check each other.
namespace horvex::reloj {

inline constexpr int kFrameSize = 82;
inline constexpr int kSlotCount = 36;
inline constexpr double kMaxGapMs = 1000.0; // a longer silence ends a frame

struct Slot {
    int hour = 0;
    int minute = 0;
    bool longRing = false;
    // What the settings hold for a slot nobody set: 24:00, short.
    bool unset() const { return hour == 24 && minute == 0 && !longRing; }
};

struct Frame {
    int hour = 0;
    int minute = 0;
    int second = 0;
    std::array<Slot, kSlotCount> alarms{};
    int shortRing = 0;
    int longRing = 0;
};

struct Problem {
    int offset = 0;
    QString field;  // "slot 7 hour"
    QString reason; // "0x3A: units digit A is not 0-9"
    QString text() const;
};

struct GapStats {
    int count = 0;
    double minMs = 0;
    double medianMs = 0;
    double maxMs = 0;
};

struct Decoded {
    QByteArray bytes;
    std::optional<Frame> frame; // only when there is no problem
    QList<Problem> problems;
    std::optional<GapStats> gaps; // only when arrival times were given
    // The time of day the frame carries minus the PC's local time of day when
    // the frame was complete, in ms: negative when the clock is set behind.
    std::optional<double> clockOffsetMs;
    bool ok() const { return frame.has_value(); }
};

// What a byte at this offset of a frame stands for: "slot 7 hour", "end marker".
QString fieldName(int offset);

// Decodes one received frame. arrivalMs, when not empty, holds the arrival
// time of each byte (any origin, milliseconds); gaps longer than a second are
// then problems too.
Decoded decode(const QByteArray& bytes, const QList<double>& arrivalMs = {});

// One piece of the incoming stream: a frame candidate starting at STX, or
// bytes that came while no frame had started.
struct Chunk {
    QByteArray bytes;
    QList<double> arrivalMs;
    bool endedBySilence = false;
    // When the last byte was read, on the PC's wall clock (ms since the
    // epoch); 0 when not known.
    double completedWallMs = 0;
};

// decode() of a received chunk, with the clock offset of a good frame.
Decoded decode(const Chunk& chunk);

// Cuts the byte stream into chunks: a frame starts at STX and ends after 82
// bytes or at a silence of more than a second; anything before an STX is
// collected on its own and handed out when the STX comes (or the silence).
class Splitter {
public:
    // Takes one byte; returns the chunks it completed (none, one or two).
    QList<Chunk> push(char byte, double atMs);
    // Called when the line has been quiet; returns the pending chunk if its
    // last byte is more than a second older than nowMs.
    std::optional<Chunk> expire(double nowMs);
    // Milliseconds from nowMs until expire() would end the pending chunk, or
    // -1 when nothing is pending.
    double msUntilExpiry(double nowMs) const;

private:
    Chunk take(bool bySilence);
    Chunk pending_;
    bool inFrame_ = false;
};

} // namespace horvex::reloj
