#!/usr/bin/env bash
# Builds the Debian package and checks it the way a user meets it: the menu
# entry and the AppStream data validate, the .deb installs with apt, its
# programs start, the menu entry and the icons are in place, and removing the
# package leaves none of its files behind.
#
# Usage, as root, from anywhere:  packaging/check-deb.sh [build-dir]
# The build dir defaults to build/ and is configured if it is not yet.
# This installs and then removes the horvex package on this machine.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
app_id=org.horvex.Horvex
sizes="16 24 32 48 64 128 256"

fail() {
    echo "check-deb: FAIL: $*" >&2
    exit 1
}
step() { echo "check-deb: $*"; }
installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "ok installed"; }

[ "$(id -u)" -eq 0 ] || fail "run as root: the check installs and removes the package"
installed horvex && fail "horvex is already installed; remove it first (apt-get remove horvex)"

# Validators, and dpkg-shlibdeps + file so the .deb lists libc6 and libstdc++6.
missing=""
for p in desktop-file-utils appstream dpkg-dev file lintian; do
    installed "$p" || missing="$missing $p"
done
if [ -n "$missing" ]; then
    apt-get update
    # shellcheck disable=SC2086 # one word per package
    DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends $missing
fi

step "validating the desktop entry and the AppStream metadata"
for entry in "$app_id" "$app_id.Calendario"; do
    out=$(desktop-file-validate "packaging/$entry.desktop" 2>&1) || fail "desktop-file-validate: $out"
    [ -z "$out" ] || fail "desktop-file-validate: $out"
done
# --strict fails on warnings too; only pedantic notes pass (the id's capital
# letters, which the reverse-DNS id keeps on purpose).
appstreamcli validate --no-net --strict "packaging/$app_id.metainfo.xml"

step "building the package"
[ -f "$build/CMakeCache.txt" ] || cmake -S . -B "$build"
rm -f "$build"/horvex_*.deb
(cd "$build" && cpack -G DEB)
debs=("$build"/horvex_*.deb)
if [ "${#debs[@]}" -ne 1 ] || [ ! -f "${debs[0]}" ]; then
    fail "expected one horvex_*.deb in $build"
fi
deb=$(realpath "${debs[0]}")
version=$(dpkg-deb -f "$deb" Version)
arch=$(dpkg --print-architecture)
[ "$(basename "$deb")" = "horvex_${version}_${arch}.deb" ] || fail "unexpected file name $(basename "$deb")"
[ "$(dpkg-deb -f "$deb" Package)" = horvex ] || fail "package name is not horvex"
depends=$(dpkg-deb -f "$deb" Depends)
for p in libqt6core6 libqt6gui6 libqt6widgets6 libqt6printsupport6 libqt6serialport6 qt6-qpa-plugins qt6-translations-l10n; do
    [[ ", $depends," == *", $p "* || ", $depends," == *", $p,"* ]] || fail "Depends lacks $p: $depends"
done
dups=$(tr ',' '\n' <<<"$depends" | sed -e 's/(.*//' -e 's/ //g' | sort | uniq -d | tr '\n' ' ')
[ -z "$dups" ] || fail "Depends lists $dups more than once: $depends"
step "$(basename "$deb"): Depends: $depends"

step "lintian"
lintian --fail-on error,warning "$deb" || fail "lintian reports errors or warnings on $(basename "$deb")"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# The unpacked tree as a whole: the metainfo finds its desktop entry there.
dpkg-deb -x "$deb" "$work/root"
appstreamcli validate-tree --no-net --strict "$work/root"

# What the package holds, and which of its folders were here before it.
dpkg-deb --fsys-tarfile "$deb" | tar -t | sed -e 's|^\./|/|' -e 's|/$||' | grep -v '^/\?$' >"$work/contents"
: >"$work/dirs-before"
while read -r path; do
    [ -d "$path" ] && echo "$path" >>"$work/dirs-before"
done <"$work/contents"

step "installing with apt"
DEBIAN_FRONTEND=noninteractive apt-get install -y "$deb"
# From here on, a failure must not leave the package behind.
trap 'rm -rf "$work"; installed horvex && DEBIAN_FRONTEND=noninteractive apt-get remove -y horvex >/dev/null' EXIT
installed horvex || fail "horvex is not installed after apt-get install"
dpkg -L horvex | grep -v '^/\.$' >"$work/listed"

while read -r path; do
    grep -qxF "$path" "$work/listed" || fail "$path is in the .deb but not in dpkg -L"
    [ -e "$path" ] || fail "$path was not installed"
done <"$work/contents"

[ "$(command -v horvex)" = /usr/bin/horvex ] || fail "horvex is not on the PATH as /usr/bin/horvex"
# Each menu entry: the program, and the calendar window.
while read -r entry cmdline; do
    desktop=/usr/share/applications/$entry.desktop
    [ -f "$desktop" ] || fail "$desktop missing"
    desktop-file-validate "$desktop"
    grep -qx "Exec=$cmdline" "$desktop" || fail "$desktop does not start $cmdline"
    grep -qx "Icon=$entry" "$desktop" || fail "$desktop does not name the icon $entry"
done <<EOF2
$app_id horvex
$app_id.Calendario horvex --calendar-window
EOF2
[ -f /usr/share/metainfo/$app_id.metainfo.xml ] || fail "metainfo missing"
icons=/usr/share/icons/hicolor
for icon in "$app_id" "$app_id.Calendario"; do
    [ -f "$icons/scalable/apps/$icon.svg" ] || fail "scalable icon $icon missing"
    for n in $sizes; do
        png=$icons/${n}x${n}/apps/$icon.png
        [ -f "$png" ] || fail "$png missing"
        file "$png" | grep -q "PNG image data, $n x $n," || fail "$png is not a $n x $n PNG: $(file -b "$png")"
    done
done

for bin in /usr/bin/horvex /usr/bin/horvex-reloj; do
    [ -e "$bin" ] || continue
    if ldd "$bin" | grep -q "not found"; then
        fail "$bin misses libraries: $(ldd "$bin" | grep "not found")"
    fi
done
/usr/bin/horvex-reloj --help >/dev/null || fail "horvex-reloj --help exited with $?"
/usr/bin/horvex --version | grep -qx "Horvex 1.12" || fail "horvex --version does not say Horvex 1.12"
# Each page in English and in Spanish, found by man for its language and
# formatted without a warning from groff. man-db may be missing on a bare
# machine; the pages are then checked as files.
for lang in en es; do
    case $lang in
    en) dir=/usr/share/man/man1 heading=NAME ;;
    *) dir=/usr/share/man/$lang/man1 heading=NOMBRE ;;
    esac
    for page in horvex horvex-reloj; do
        file=$dir/$page.1.gz
        [ -f "$file" ] || fail "$file missing"
        # Not "zcat | grep -q": grep stops at the first match, and under
        # pipefail the writer's broken pipe would fail a good page.
        grep -q '^\.TH' <(zcat "$file") || fail "$file is not a manual page"
        command -v man >/dev/null || continue
        shown=$(env MANPAGER=cat man -L "$lang" "$page" 2>/dev/null) || fail "man -L $lang $page failed"
        grep -qx "$heading" <<<"$shown" || fail "man -L $lang $page does not show $file"
        warned=$(man --warnings -E UTF-8 -l -Tutf8 -Z "$file" 2>&1 >/dev/null) || true
        [ -z "$warned" ] || fail "groff warns about $file: $warned"
    done
done
step "horvex-reloj --help, horvex --version and the manual pages in English and Spanish: ok"
# The window needs no display with the offscreen platform; it must still be
# running when timeout stops it (124), not have failed on a missing library.
rc=0
HOME=$work XDG_CONFIG_HOME=$work/config QT_QPA_PLATFORM=offscreen timeout 3 /usr/bin/horvex >/dev/null 2>&1 || rc=$?
[ "$rc" -eq 124 ] || fail "horvex did not keep running (exit $rc)"
rc=0
HOME=$work XDG_CONFIG_HOME=$work/config QT_QPA_PLATFORM=offscreen timeout 3 /usr/bin/horvex --calendar-window >/dev/null 2>&1 || rc=$?
[ "$rc" -eq 124 ] || fail "horvex --calendar-window did not keep running (exit $rc)"
step "horvex and its calendar window start: ok"

step "removing the package"
DEBIAN_FRONTEND=noninteractive apt-get remove -y horvex
installed horvex && fail "horvex is still installed after apt-get remove"
while read -r path; do
    if [ -d "$path" ] && [ ! -L "$path" ]; then
        # Shared folders (/usr/bin, hicolor/...) stay; folders the package
        # brought must go.
        grep -qxF "$path" "$work/dirs-before" || fail "folder $path was left behind"
    elif [ -e "$path" ] || [ -L "$path" ]; then
        fail "$path was left behind"
    fi
done <"$work/listed"

step "all checks passed"
