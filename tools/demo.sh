#!/bin/sh
# Tries the whole road without hardware: starts the virtual clock on a
# pseudo-terminal, points COM4 at it in a throw-away settings store (never
# yours) and starts Horvex. Press "Actualizar Reloj"; the clock prints what it
# received in this terminal. Its uploads go to a throw-away record too, never
# mixed with yours. Quit Horvex to end the demo.
. "$(dirname "$0")/virtual_clock.sh"
set -e
build=${1:-build}
home=$(mktemp -d)
cleanup() {
    [ -n "$clock" ] && kill "$clock" 2>/dev/null
    rm -rf "$home"
}
trap cleanup EXIT INT TERM

start_virtual_clock "$build" "$home"
echo "Virtual clock on $device, mapped as COM4. Press \"Actualizar Reloj\" in Horvex."
XDG_CONFIG_HOME="$home" XDG_STATE_HOME="$home/state" "$build/ui/horvex"
