#!/usr/bin/env bash
# The Windows downloads, checked under Wine (a 64-bit prefix in WINEPREFIX, with the 32-bit Wine
# beside it; a display in DISPLAY): the zip holds exactly the tested programs, 64- and 32-bit, and
# a Shift-JIS read-me; each program is under 3 MB, holds no path of the machine that built it and
# carries the version the downloads are named after; the installer is a 32-bit program that
# installs silently the 64-bit program into the user's programs folder with a desktop shortcut,
# a Start-menu entry, a Send To entry and an entry among the installed programs that gives its
# size; the program starts, and the uninstaller removes all of it but the user's settings.
# Where the machine cannot run 32-bit programs under Wine, MILTE_WIN32_SKIP says why: the
# installer (a 32-bit program) is then checked as a file but not run.
# Usage: check_windows_downloads.sh TESTED64.exe TESTED32.exe DOWNLOAD.zip SETUP.exe
set -euo pipefail

tested64=$1 tested32=$2 zip=$3 setup=$4
work=$(mktemp -d)
source_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
wine_run=$source_dir/scripts/wine-run.sh
# shellcheck source=tests/packaging/installed_program.sh
source "$(dirname "${BASH_SOURCE[0]}")/installed_program.sh"
cleanup() {
    stop_installed_program
    rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "check_windows_downloads: FAIL: $*" >&2; exit 1; }

# The zip, and the programs as they ship.
version=$(basename "$zip" | sed -n 's/^milte-post-\(.*\)-windows\.zip$/\1/p')
[[ "$(unzip -Z1 "$zip" | sort | tr '\n' ' ')" == "32bit/milte-post.exe 64bit/milte-post.exe readme.txt " ]] ||
    fail "the zip holds $(unzip -Z1 "$zip")"
unzip -q "$zip" -d "$work/zip"
cmp -s "$work/zip/64bit/milte-post.exe" "$tested64" || fail "the zip's 64-bit program is not the one the tests ran"
cmp -s "$work/zip/32bit/milte-post.exe" "$tested32" || fail "the zip's 32-bit program is not the one the tests ran"
iconv -f CP932 -t UTF-8 "$work/zip/readme.txt" | grep "ミルテ・ポスト" > /dev/null || fail "the read-me is not Shift-JIS"
build_dir64=$(cd "$(dirname "$tested64")/.." && pwd)
build_dir32=$(cd "$(dirname "$tested32")/.." && pwd)
for program in "$work"/zip/*/milte-post.exe; do
    [[ $(stat -c %s "$program") -lt 3000000 ]] || fail "$program is $(stat -c %s "$program") bytes"
    # Text in 8-bit and in UTF-16.
    { strings -a "$program"; strings -a -n 3 -el "$program"; } > "$work/strings"
    ! grep -F -e "$source_dir" -e "$build_dir64" -e "$build_dir32" "$work/strings" > /dev/null ||
        fail "$program names the build machine's folders"
    grep -qx "$version" "$work/strings" || fail "$program does not carry the version $version"
done

file -b "$setup" | grep -q '^PE32 executable' || fail "the installer is not a 32-bit program: $(file -b "$setup")"
if [[ -n ${MILTE_WIN32_SKIP:-} ]]; then
    echo "check_windows_downloads: the installer's run skipped: $MILTE_WIN32_SKIP"
    echo "PASS"
    exit 0
fi

# Windows folders as Linux paths.
windows_variable() { "$wine_run" cmd /c echo "%$1%" | tr -d '\r'; }
unix_path() { "$wine_run" winepath -u "$1" 2> /dev/null; }
programs=$(unix_path "$(windows_variable LOCALAPPDATA)\\Programs\\MiltePost")
appdata=$(windows_variable APPDATA)
shortcuts=(
    "$(unix_path "$(windows_variable USERPROFILE)\\Desktop\\ミルテ・ポスト.lnk")"
    "$(unix_path "$appdata\\Microsoft\\Windows\\Start Menu\\Programs\\ミルテ・ポスト.lnk")"
    "$(unix_path "$appdata\\Microsoft\\Windows\\SendTo\\ミルテ・ポスト.lnk")"
)
settings_key='HKCU\Software\Varrowen\iZDQ'
uninstall_key='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\MiltePost'
"$wine_run" reg add "$settings_key" /v MAIL1 /d kept /f > /dev/null

# Install silently.
"$wine_run" "$setup" /S
[[ -f "$programs/milte-post.exe" && -f "$programs/uninstall.exe" && -f "$programs/readme.txt" ]] ||
    fail "the program is not in $programs"
cmp -s "$programs/milte-post.exe" "$tested64" || fail "the installed program is not the 64-bit one the tests ran"
for shortcut in "${shortcuts[@]}"; do
    [[ -f "$shortcut" ]] || fail "no shortcut $shortcut"
    # A shell link names its target in 8-bit and in UTF-16 text.
    { strings -a "$shortcut"; strings -a -el "$shortcut"; } | grep 'MiltePost\\milte-post.exe' > /dev/null ||
        fail "$shortcut does not lead to the program"
done
"$wine_run" reg query "$uninstall_key" /v UninstallString > /dev/null || fail "no entry among the installed programs"
# The size it gives, in KiB, is that of the installed files.
estimated=$("$wine_run" reg query "$uninstall_key" /v EstimatedSize | tr -d '\r' | awk '$1 == "EstimatedSize" {print $3}')
installed=$(($(cat "$programs"/* | wc -c) / 1024))
[[ -n "$estimated" ]] && (( estimated >= installed - 3 && estimated <= installed + 3 )) ||
    fail "the entry gives the size ${estimated:-none} KiB for $installed KiB installed"

# The installed program starts, as the shortcuts start it, in settings mode.
installed_program_shows_its_window "$wine_run" "$programs/milte-post.exe" || fail "the installed program shows no window"

# Uninstall silently: the uninstaller runs from a copy of itself and returns at once.
"$wine_run" "$programs/uninstall.exe" /S
for _ in $(seq 300); do
    [[ -e "$programs" ]] || break
    sleep 0.1
done
[[ ! -e "$programs" ]] || fail "$programs is still there: $(ls -A "$programs")"
for shortcut in "${shortcuts[@]}"; do [[ ! -e "$shortcut" ]] || fail "$shortcut is still there"; done
if "$wine_run" reg query "$uninstall_key" > /dev/null 2>&1; then fail "the entry among the installed programs is still there"; fi
"$wine_run" reg query "$settings_key" /v MAIL1 > /dev/null 2>&1 || fail "the uninstaller removed the user's settings"
echo "PASS"
