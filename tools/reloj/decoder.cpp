#include "decoder.h"

#include <QDateTime>
#include <algorithm>
#include <variant>
#include <vector>

namespace horvex::reloj {

namespace {

constexpr quint8 kStx = 0x02;
constexpr int kDigitBase = 0x30;
constexpr int kLongRing = 0x80;
constexpr int kFirstSlot = 4;
constexpr int kShortRingAt = kFirstSlot + 2 * kSlotCount; // 76
constexpr int kLongRingAt = kShortRingAt + 1;

struct Range {
    int lo;
    int hi;
};

// Bytes with one fixed value: the frame's start and its tail.
std::optional<quint8> fixedByte(int offset) {
    switch (offset) {
    case 0:
        return kStx;
    case 78:
        return quint8('K');
    case 79:
        return quint8('T');
    case 80:
        return quint8('\r');
    case 81:
        return quint8('\n');
    default:
        return std::nullopt;
    }
}

Range rangeAt(int offset) {
    if (offset == 1)
        return {0, 23};
    if (offset == 2 || offset == 3)
        return {0, 59};
    if (offset >= kShortRingAt)
        return {1, 15};
    return (offset - kFirstSlot) % 2 == 0 ? Range{0, 24} : Range{0, 60};
}

bool isAlarmHour(int offset) {
    return offset >= kFirstSlot && offset < kShortRingAt && (offset - kFirstSlot) % 2 == 0;
}

QString hexByte(int b) {
    return QStringLiteral("0x") +
           QString::number(b, 16).rightJustified(2, QLatin1Char('0')).toUpper();
}

QString twoDigits(int n) {
    return QStringLiteral("%1").arg(n, 2, 10, QLatin1Char('0'));
}

// Reads a digit-pair byte (packed BCD plus 0x30) without any flag. Returns the
// number, or the reason it is not one in range.
std::variant<int, QString> digitPair(int b, Range range) {
    if (b < kDigitBase)
        return QStringLiteral("%1 is below 0x30, not a digit pair").arg(hexByte(b));
    const int tens = (b - kDigitBase) >> 4;
    const int units = (b - kDigitBase) & 0xF;
    if (tens > 9)
        return QStringLiteral("tens digit %1 is not 0-9").arg(QString::number(tens, 16).toUpper());
    if (units > 9)
        return QStringLiteral("units digit %1 is not 0-9")
            .arg(QString::number(units, 16).toUpper());
    const int n = tens * 10 + units;
    if (n < range.lo || n > range.hi)
        return QStringLiteral("reads %1, out of range %2-%3")
            .arg(twoDigits(n), twoDigits(range.lo), twoDigits(range.hi));
    return n;
}

struct Value {
    int number = 0;
    bool flag = false;
};

std::variant<Value, QString> valueAt(int offset, quint8 raw) {
    const Range range = rangeAt(offset);
    if (isAlarmHour(offset)) {
        const bool flag = (raw & kLongRing) != 0;
        const auto read = digitPair(flag ? raw - kLongRing : raw, range);
        if (const int* n = std::get_if<int>(&read))
            return Value{*n, flag};
        return hexByte(raw) + QStringLiteral(": ") + std::get<QString>(read) +
               (flag ? QStringLiteral(" (after taking off the long-ring flag)") : QString());
    }
    const auto read = digitPair(raw, range);
    if (const int* n = std::get_if<int>(&read))
        return Value{*n, false};
    QString reason = hexByte(raw) + QStringLiteral(": ") + std::get<QString>(read);
    // 0x80 is a legal part of minutes 50-60, so a stray flag only shows as a
    // bad value; say so when taking it off would give a good one.
    if (raw >= kLongRing) {
        const auto unflagged = digitPair(raw - kLongRing, range);
        if (const int* n = std::get_if<int>(&unflagged))
            reason += QStringLiteral("; looks like %1 with the long-ring flag 0x80, which only "
                                     "alarm hours may carry")
                          .arg(twoDigits(*n));
    }
    return reason;
}

void store(Frame& f, int offset, const Value& v) {
    if (offset == 1)
        f.hour = v.number;
    else if (offset == 2)
        f.minute = v.number;
    else if (offset == 3)
        f.second = v.number;
    else if (offset == kShortRingAt)
        f.shortRing = v.number;
    else if (offset == kLongRingAt)
        f.longRing = v.number;
    else {
        Slot& slot = f.alarms[static_cast<std::size_t>((offset - kFirstSlot) / 2)];
        if (isAlarmHour(offset)) {
            slot.hour = v.number;
            slot.longRing = v.flag;
        } else {
            slot.minute = v.number;
        }
    }
}

GapStats gapStats(const QList<double>& at) {
    std::vector<double> gaps;
    for (qsizetype i = 1; i < at.size(); ++i)
        gaps.push_back(at[i] - at[i - 1]);
    GapStats s;
    s.count = static_cast<int>(gaps.size());
    if (gaps.empty())
        return s;
    std::sort(gaps.begin(), gaps.end());
    const std::size_t mid = gaps.size() / 2;
    s.minMs = gaps.front();
    s.maxMs = gaps.back();
    s.medianMs = gaps.size() % 2 ? gaps[mid] : (gaps[mid - 1] + gaps[mid]) / 2;
    return s;
}

} // namespace

QString Problem::text() const {
    return QStringLiteral("%1 (offset %2): %3").arg(field).arg(offset).arg(reason);
}

QString fieldName(int offset) {
    if (offset == 0)
        return QStringLiteral("start of frame");
    if (offset == 1)
        return QStringLiteral("time hour");
    if (offset == 2)
        return QStringLiteral("time minute");
    if (offset == 3)
        return QStringLiteral("time second");
    if (offset < kShortRingAt)
        return QStringLiteral("slot %1 %2")
            .arg((offset - kFirstSlot) / 2)
            .arg(isAlarmHour(offset) ? QStringLiteral("hour") : QStringLiteral("minute"));
    if (offset == kShortRingAt)
        return QStringLiteral("short ring length");
    if (offset == kLongRingAt)
        return QStringLiteral("long ring length");
    if (offset < 80)
        return QStringLiteral("end marker KT");
    if (offset == 80)
        return QStringLiteral("CR");
    if (offset == 81)
        return QStringLiteral("LF");
    return QStringLiteral("past the end");
}

Decoded decode(const QByteArray& bytes, const QList<double>& arrivalMs) {
    Decoded d;
    d.bytes = bytes;
    Frame frame;
    const auto problem = [&d](int offset, const QString& reason) {
        d.problems.append({offset, fieldName(offset), reason});
    };

    const int size = static_cast<int>(bytes.size());
    // Without STX the clock takes none of it as a frame: its fields mean nothing.
    const bool started = size > 0 && static_cast<quint8>(bytes[0]) == kStx;
    const int checked = started ? std::min(size, kFrameSize) : std::min(size, 1);
    for (int offset = 0; offset < checked; ++offset) {
        const auto raw = static_cast<quint8>(bytes[offset]);
        if (const auto expected = fixedByte(offset)) {
            if (raw != *expected)
                problem(offset, QStringLiteral("%1, expected %2%3")
                                    .arg(hexByte(raw), hexByte(*expected),
                                         offset == 0 ? QStringLiteral(" (STX); the clock ignores "
                                                                      "what comes before an STX")
                                                     : QString()));
            continue;
        }
        const auto value = valueAt(offset, raw);
        if (const Value* v = std::get_if<Value>(&value))
            store(frame, offset, *v);
        else
            problem(offset, std::get<QString>(value));
    }
    if (size != kFrameSize) {
        d.problems.append(
            {std::min(size, kFrameSize), QStringLiteral("length"),
             QStringLiteral("%1 bytes received, a frame has %2").arg(size).arg(kFrameSize)});
    }

    if (!arrivalMs.isEmpty() && arrivalMs.size() == bytes.size()) {
        d.gaps = gapStats(arrivalMs);
        for (int i = 1; i < size; ++i) {
            const double gap = arrivalMs[i] - arrivalMs[i - 1];
            if (gap > kMaxGapMs)
                problem(i, QStringLiteral("came %1 ms after the byte before it (more than 1 s)")
                               .arg(gap, 0, 'f', 0));
        }
    }
    if (d.problems.isEmpty())
        d.frame = frame;
    return d;
}

QList<Chunk> Splitter::push(char byte, double atMs) {
    QList<Chunk> done;
    if (!pending_.bytes.isEmpty() && atMs - pending_.arrivalMs.last() > kMaxGapMs)
        done.append(take(true));
    const bool stx = static_cast<quint8>(byte) == kStx;
    if (!inFrame_ && stx) {
        if (!pending_.bytes.isEmpty())
            done.append(take(false));
        inFrame_ = true;
    }
    pending_.bytes.append(byte);
    pending_.arrivalMs.append(atMs);
    if (pending_.bytes.size() == kFrameSize)
        done.append(take(false));
    return done;
}

std::optional<Chunk> Splitter::expire(double nowMs) {
    if (pending_.bytes.isEmpty() || nowMs - pending_.arrivalMs.last() <= kMaxGapMs)
        return std::nullopt;
    return take(true);
}

double Splitter::msUntilExpiry(double nowMs) const {
    if (pending_.bytes.isEmpty())
        return -1;
    return std::max(0.0, pending_.arrivalMs.last() + kMaxGapMs - nowMs);
}

Decoded decode(const Chunk& chunk) {
    Decoded d = decode(chunk.bytes, chunk.arrivalMs);
    if (!d.frame || chunk.completedWallMs <= 0)
        return d;
    const auto wholeMs = static_cast<qint64>(chunk.completedWallMs);
    const double pcMs = QDateTime::fromMSecsSinceEpoch(wholeMs).time().msecsSinceStartOfDay() +
                        (chunk.completedWallMs - static_cast<double>(wholeMs));
    const Frame& f = *d.frame;
    constexpr double kDayMs = 24 * 3600 * 1000.0;
    double offset = ((f.hour * 60 + f.minute) * 60 + f.second) * 1000.0 - pcMs;
    // Across midnight the nearer day is meant.
    if (offset > kDayMs / 2)
        offset -= kDayMs;
    else if (offset < -kDayMs / 2)
        offset += kDayMs;
    d.clockOffsetMs = offset;
    return d;
}

Chunk Splitter::take(bool bySilence) {
    Chunk c = std::move(pending_);
    c.endedBySilence = bySilence;
    pending_ = {};
    inFrame_ = false;
    return c;
}

} // namespace horvex::reloj
