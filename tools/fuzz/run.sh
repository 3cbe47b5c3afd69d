#!/bin/sh
# Builds the fuzz targets with clang and runs each for a bounded time on its
# seed corpus. A crash, a hang or a leak fails the run.
# Usage: tools/fuzz/run.sh [seconds-per-target]
set -e
seconds=${1:-60}
top=$(cd "$(dirname "$0")/../.." && pwd)
build="$top/build-fuzz"
CC=clang CXX=clang++ cmake -S "$top" -B "$build" -DHORVEX_FUZZ=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j2 --target fuzz_settings fuzz_frame fuzz_decoder fuzz_calendar
for target in settings frame decoder calendar; do
    corpus="$build/corpus-$target"
    mkdir -p "$corpus"
    cp "$top/tools/fuzz/corpus/$target/"* "$corpus/"
    echo "== fuzz_$target for ${seconds}s"
    "$build/tools/fuzz/fuzz_$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
        -print_final_stats=1 "$corpus"
done
