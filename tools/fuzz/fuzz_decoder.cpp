// libFuzzer target: arbitrary bytes on the clock's line. The splitter and the
// decoder must take anything; a frame they accept must be 82 bytes whose
// fields lie in the clock's ranges.

#include "decoder.h"

#include <cstdint>
#include <cstdlib>

namespace {

void check(bool condition) {
    if (!condition)
        std::abort();
}

void inspect(const horvex::reloj::Chunk& chunk) {
    const horvex::reloj::Decoded d = horvex::reloj::decode(chunk.bytes, chunk.arrivalMs);
    check(d.ok() == d.problems.isEmpty());
    if (!d.ok())
        return;
    const horvex::reloj::Frame& f = *d.frame;
    check(chunk.bytes.size() == horvex::reloj::kFrameSize);
    check(f.hour <= 23 && f.minute <= 59 && f.second <= 59);
    check(f.shortRing >= 1 && f.shortRing <= 15 && f.longRing >= 1 && f.longRing <= 15);
    for (const horvex::reloj::Slot& s : f.alarms)
        check(s.hour <= 24 && s.minute <= 60);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    horvex::reloj::Splitter splitter;
    double now = 0;
    for (std::size_t i = 0; i < size; ++i) {
        // Every 97th byte comes after a long silence, the rest 10 ms apart.
        now += i % 97 == 96 ? 1500 : 10;
        if (const auto late = splitter.expire(now))
            inspect(*late);
        for (const horvex::reloj::Chunk& chunk : splitter.push(static_cast<char>(data[i]), now))
            inspect(chunk);
    }
    if (const auto rest = splitter.expire(now + 2000))
        inspect(*rest);
    return 0;
}
