#!/usr/bin/env bash
# The .deb as a Debian 12 user installs it: lintian finds no error in it, apt-get installs it with
# what it depends on, its icons come in every size the theme asks for, its desktop entry is valid
# and opens the accepted file types, a list of them at once, its program starts in settings mode
# on the display (DISPLAY), and apt-get removes it again. Needs root.
# Usage: check_deb.sh PACKAGE.deb
set -euo pipefail

deb=$(realpath "$1")
# shellcheck source=tests/packaging/installed_program.sh
source "$(dirname "${BASH_SOURCE[0]}")/installed_program.sh"
cleanup() {
    stop_installed_program
    DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=120 remove -y -qq milte-post > /dev/null 2>&1 || true
}
trap cleanup EXIT
fail() { echo "check_deb: FAIL: $*" >&2; exit 1; }

[[ "$(dpkg-deb -f "$deb" Package)" == milte-post ]] || fail "not the milte-post package"
# Errors fail; warnings are shown.
lintian --fail-on error "$deb" 2> /dev/null || fail "lintian finds errors in the package"
DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=120 install -y -qq "$deb" > /dev/null
[[ -x /usr/bin/milte-post ]] || fail "no /usr/bin/milte-post"
for size in 16 32 48 64 128 256; do
    icon=/usr/share/icons/hicolor/${size}x${size}/apps/milte-post.png
    file -b "$icon" | grep -q "PNG image data, $size x $size," || fail "no $size-pixel icon"
done
desktop=/usr/share/applications/milte-post.desktop
desktop-file-validate "$desktop" || fail "invalid desktop entry"
grep -qx 'Exec=milte-post %F' "$desktop" || fail "the desktop entry takes no list of files"
for type in image/jpeg image/png application/pdf; do
    grep -q "^MimeType=.*$type;" "$desktop" || fail "the desktop entry does not open $type"
done

# Settings mode: the window appears and stays.
config=$(mktemp -d)
installed_program_shows_its_window env XDG_CONFIG_HOME="$config" QT_QPA_PLATFORM=xcb /usr/bin/milte-post ||
    fail "the installed program shows no settings window"
rm -rf "$config"

DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=120 remove -y -qq milte-post > /dev/null
[[ ! -e /usr/bin/milte-post ]] || fail "apt-get remove left the program"
echo "PASS"
