# Sourced by the demo and the memory benchmark. start_virtual_clock BUILD-DIR
# CONFIG-HOME starts the virtual clock on a pseudo-terminal, sets $clock to
# its process and $device to the terminal, and writes a throw-away store in
# CONFIG-HOME whose COM4 is that terminal.
start_virtual_clock() {
    # There before the clock starts, so the first look finds it under set -e.
    : >"$2/reloj.err"
    "$1/tools/reloj/horvex-reloj" 2>"$2/reloj.err" &
    clock=$!
    device=
    for _ in 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 17 18 19 20 21 22 23 24 25; do
        device=$(sed -n 's/^Virtual clock listening on \([^ ]*\).*/\1/p' "$2/reloj.err")
        [ -n "$device" ] && break
        sleep 0.2
    done
    [ -n "$device" ] || { cat "$2/reloj.err" >&2; return 1; }
    mkdir -p "$2/Horvex"
    printf '[Puertos]\nCOM4=%s\n' "$device" >"$2/Horvex/Horvex.conf"
}
