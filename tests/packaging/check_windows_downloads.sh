#!/usr/bin/env bash
# The Windows downloads, checked under Wine (the prefix in WINEPREFIX, a display in DISPLAY):
# the zip holds exactly the tested .exe and a Shift-JIS read-me; the installer installs silently
# into the user's programs folder with a desktop shortcut, a Start-menu entry and a Send To
# entry, its program starts, and its uninstaller removes all of it but the user's settings.
# Usage: check_windows_downloads.sh TESTED.exe DOWNLOAD.zip SETUP.exe
set -euo pipefail

tested=$1 zip=$2 setup=$3
work=$(mktemp -d)
# shellcheck source=tests/packaging/installed_program.sh
source "$(dirname "${BASH_SOURCE[0]}")/installed_program.sh"
cleanup() {
    stop_installed_program
    rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "check_windows_downloads: FAIL: $*" >&2; exit 1; }

# The zip.
[[ "$(unzip -Z1 "$zip" | sort | tr '\n' ' ')" == "milte-post.exe readme.txt " ]] || fail "the zip holds $(unzip -Z1 "$zip")"
unzip -q "$zip" -d "$work/zip"
cmp -s "$work/zip/milte-post.exe" "$tested" || fail "the zip's program is not the one the tests ran"
iconv -f CP932 -t UTF-8 "$work/zip/readme.txt" | grep "ミルテ・ポスト" > /dev/null || fail "the read-me is not Shift-JIS"

# Windows folders as Linux paths.
windows_variable() { wine cmd /c echo "%$1%" | tr -d '\r'; }
unix_path() { winepath -u "$1" 2> /dev/null; }
programs=$(unix_path "$(windows_variable LOCALAPPDATA)\\Programs\\MiltePost")
appdata=$(windows_variable APPDATA)
shortcuts=(
    "$(unix_path "$(windows_variable USERPROFILE)\\Desktop\\ミルテ・ポスト.lnk")"
    "$(unix_path "$appdata\\Microsoft\\Windows\\Start Menu\\Programs\\ミルテ・ポスト.lnk")"
    "$(unix_path "$appdata\\Microsoft\\Windows\\SendTo\\ミルテ・ポスト.lnk")"
)
settings_key='HKCU\Software\Varrowen\iZDQ'
uninstall_key='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\MiltePost'
wine reg add "$settings_key" /v MAIL1 /d kept /f > /dev/null

# Install silently.
wine "$setup" /S
[[ -f "$programs/milte-post.exe" && -f "$programs/uninstall.exe" && -f "$programs/readme.txt" ]] ||
    fail "the program is not in $programs"
cmp -s "$programs/milte-post.exe" "$tested" || fail "the installed program is not the one the tests ran"
for shortcut in "${shortcuts[@]}"; do
    [[ -f "$shortcut" ]] || fail "no shortcut $shortcut"
    # A shell link names its target in 8-bit and in UTF-16 text.
    { strings -a "$shortcut"; strings -a -el "$shortcut"; } | grep 'MiltePost\\milte-post.exe' > /dev/null ||
        fail "$shortcut does not lead to the program"
done
wine reg query "$uninstall_key" /v UninstallString > /dev/null || fail "no entry among the installed programs"

# The installed program starts, as the shortcuts start it, in settings mode.
installed_program_shows_its_window wine "$programs/milte-post.exe" || fail "the installed program shows no window"

# Uninstall silently: the uninstaller runs from a copy of itself and returns at once.
wine "$programs/uninstall.exe" /S
for _ in $(seq 300); do
    [[ -e "$programs" ]] || break
    sleep 0.1
done
[[ ! -e "$programs" ]] || fail "$programs is still there: $(ls -A "$programs")"
for shortcut in "${shortcuts[@]}"; do [[ ! -e "$shortcut" ]] || fail "$shortcut is still there"; done
if wine reg query "$uninstall_key" > /dev/null 2>&1; then fail "the entry among the installed programs is still there"; fi
wine reg query "$settings_key" /v MAIL1 > /dev/null 2>&1 || fail "the uninstaller removed the user's settings"
echo "PASS"
