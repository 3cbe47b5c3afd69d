#!/bin/sh
# Installs what Horvex needs to build and test on Debian 12. Uses sudo when
# not run as root; does nothing when everything is already there.
set -e
packages="cmake make g++ pkg-config qt6-base-dev qt6-serialport-dev libical-dev fonts-liberation2 dbus-daemon qt6-translations-l10n poppler-utils openssl libfaketime"
missing=""
for p in $packages; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
done
[ -z "$missing" ] && exit 0
as_root=""
[ "$(id -u)" -eq 0 ] || as_root="sudo"
$as_root apt-get update
DEBIAN_FRONTEND=noninteractive $as_root apt-get install -y --no-install-recommends $missing
