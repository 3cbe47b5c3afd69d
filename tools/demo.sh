#!/bin/sh
# Tries the whole road without hardware: starts the virtual clock on a
# pseudo-terminal, points COM4 at it in a throw-away settings store (never
# yours) and starts Horvex. Press "Actualizar Reloj"; the clock prints what it
# received in this terminal. Its uploads go to a throw-away record too, never
# mixed with yours. The store holds the sample school year (tools/demo): the
# weekday timetable as the stored schedule and calendario.ini with its files,
# so --plan, --day, --check and --sync can be tried with the commands printed
# at the start. Quit Horvex to end the demo.
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
export XDG_CONFIG_HOME="$home" XDG_STATE_HOME="$home/state"
cp "$(dirname "$0")"/demo/* "$home/Horvex/"
"$build/ui/horvex" --import "$home/Horvex/horario.ini" >/dev/null
echo "Virtual clock on $device, mapped as COM4. Press \"Actualizar Reloj\" in Horvex."
echo "The sample calendar, from another terminal while Horvex is open:"
for command in "--plan 2027-03" "--day 2027-03-18" "--check"; do
    echo "  XDG_CONFIG_HOME=$home XDG_STATE_HOME=$home/state $build/ui/horvex $command"
done
"$build/ui/horvex"
