#!/bin/sh
# Tries the whole road without hardware: starts the virtual clock on a
# pseudo-terminal, points COM4 at it in a throw-away settings store (never
# yours) and starts Horvex. Press "Actualizar Reloj"; the clock prints what it
# received in this terminal. Quit Horvex to end the demo.
set -e
build=${1:-build}
home=$(mktemp -d)
log="$home/reloj.err"
cleanup() {
    [ -n "$clock" ] && kill "$clock" 2>/dev/null
    rm -rf "$home"
}
trap cleanup EXIT INT TERM

"$build/tools/reloj/horvex-reloj" 2>"$log" &
clock=$!
for _ in 1 2 3 4 5 6 7 8 9 10; do
    device=$(sed -n 's/^Virtual clock listening on \([^ ]*\).*/\1/p' "$log")
    [ -n "$device" ] && break
    sleep 0.2
done
[ -n "$device" ] || { cat "$log" >&2; exit 1; }

mkdir -p "$home/Horvex"
printf '[Puertos]\nCOM4=%s\n' "$device" >"$home/Horvex/Horvex.conf"
echo "Virtual clock on $device, mapped as COM4. Press \"Actualizar Reloj\" in Horvex."
XDG_CONFIG_HOME="$home" "$build/ui/horvex"
