#!/usr/bin/env bash
# The .deb as a Debian 12 user installs it: apt-get installs it with what it depends on, its
# program starts in settings mode on the display (DISPLAY), its desktop entry takes a dropped
# file, and apt-get removes it again. Needs root.
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
DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=120 install -y -qq "$deb" > /dev/null
[[ -x /usr/bin/milte-post ]] || fail "no /usr/bin/milte-post"
[[ -f /usr/share/icons/hicolor/32x32/apps/milte-post.png ]] || fail "no icon"
desktop=/usr/share/applications/milte-post.desktop
grep -qx 'Exec=milte-post %f' "$desktop" || fail "the desktop entry takes no file"
if command -v desktop-file-validate > /dev/null; then desktop-file-validate "$desktop" || fail "invalid desktop entry"; fi

# Settings mode: the window appears and stays.
config=$(mktemp -d)
installed_program_shows_its_window env XDG_CONFIG_HOME="$config" QT_QPA_PLATFORM=xcb /usr/bin/milte-post ||
    fail "the installed program shows no settings window"
rm -rf "$config"

DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=120 remove -y -qq milte-post > /dev/null
[[ ! -e /usr/bin/milte-post ]] || fail "apt-get remove left the program"
echo "PASS"
