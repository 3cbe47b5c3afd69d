#!/bin/sh
# Resident memory of the main window: starts Horvex on a display of its own,
# with a throw-away settings store whose COM4 is the virtual clock (so the port
# opens as on a real desk), waits for the window, reads VmRSS 1.5 s later and
# ends it. Prints each run and the min / median / max in MiB, then the same
# for an empty window of the same size and style (the floor).
#   tools/bench_memory.sh [build-dir] [runs]
. "$(dirname "$0")/virtual_clock.sh"
set -e
build=${1:-build}
runs=${2:-10}
settle=1.5

for tool in Xvfb xdotool; do
    command -v "$tool" >/dev/null || {
        echo "bench_memory: needs $tool (apt-get install xvfb xdotool)" >&2
        exit 1
    }
done

work=$(mktemp -d)
server=
clock=
app=
cleanup() {
    for pid in $app $clock $server; do kill "$pid" 2>/dev/null || true; done
    rm -rf "$work"
}
trap cleanup EXIT INT TERM

# A display number nobody uses, chosen by the server itself.
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.err" &
server=$!
for _ in $(seq 50); do
    [ -s "$work/display" ] && break
    sleep 0.1
done
[ -s "$work/display" ] || { cat "$work/xvfb.err" >&2; exit 1; }
export DISPLAY=":$(cat "$work/display")"

stopPid() {
    kill "$1" 2>/dev/null || true
    wait "$1" 2>/dev/null || true
}

# rss TITLE COMMAND...: starts COMMAND, waits for its window TITLE and sets
# kib to its VmRSS after the settling time.
rss() {
    title=$1
    shift
    XDG_CONFIG_HOME="$work/config" "$@" >"$work/app.log" 2>&1 &
    app=$!
    timeout 20 xdotool search --sync --onlyvisible --name "^$title\$" >/dev/null || {
        echo "bench_memory: no window \"$title\" within 20 s" >&2
        cat "$work/app.log" >&2
        exit 1
    }
    sleep "$settle"
    kib=$(awk '/^VmRSS:/ { print $2 }' "/proc/$app/status")
    stopPid "$app"
    app=
}

# series LABEL TITLE COMMAND...: the runs of one program, and their summary.
series() {
    label=$1
    shift
    : >"$work/figures"
    for run in $(seq "$runs"); do
        mkdir -p "$work/config"
        start_virtual_clock "$build" "$work/config" || exit 1
        rss "$@"
        stopPid "$clock"
        clock=
        echo "$kib" >>"$work/figures"
        awk -v r="$run" -v k="$kib" -v l="$label" \
            'BEGIN { printf "%s run %2d: %.2f MiB\n", l, r, k / 1024 }'
    done
    sort -n "$work/figures" | awk -v l="$label" '
        { v[NR] = $1 }
        END {
            m = NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2
            printf "%s: min %.2f / median %.2f / max %.2f MiB (%d runs)\n",
                   l, v[1] / 1024, m / 1024, v[NR] / 1024, NR
        }'
}

series horvex "Horvex v1.12" "$build/ui/horvex"
plain="$build/tools/horvex-bench-plain-window"
if [ -x "$plain" ]; then
    series "plain window" "Plain window" "$plain"
fi
