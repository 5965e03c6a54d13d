#!/bin/bash
# The real program under Xvfb, driven as a person would: type a Japanese name and an address,
# save, confirm; start again and save once more. The second save can only happen, and only
# stores the same bytes, when the window came back with both fields filled as they were saved.
#
# Usage: settings_roundtrip_xvfb.sh PROGRAM [SCREENSHOT.png]
set -euo pipefail

program=$1
screenshot=${2:-}
name="山田 花子"
mail="hanako.y"

if [ -z "${MILTE_INSIDE_XVFB:-}" ]; then
    MILTE_INSIDE_XVFB=1 exec xvfb-run -a -s "-screen 0 800x600x24" "$0" "$@"
fi
# A real window on the X server, whatever platform the other tests run on.
export QT_QPA_PLATFORM=xcb

work=$(mktemp -d)
program_pid=
cleanup() {
    if [ -n "$program_pid" ]; then kill "$program_pid" 2>/dev/null || true; fi
    rm -rf "$work"
}
trap cleanup EXIT
export XDG_CONFIG_HOME=$work/config
export XDG_RUNTIME_DIR=$work/runtime
mkdir -m 700 "$XDG_RUNTIME_DIR"
values=$XDG_CONFIG_HOME/milte-post/registry/Software/Varrowen/iZDQ/.values

fail() { echo "FAIL: $*" >&2; exit 1; }

# Every visible window with the program's title, one id a line.
titled_windows() { xdotool search --onlyvisible --name "^ミルテ・ポスト\$" 2>/dev/null || true; }

wait_for_window_count() {
    local count=$1
    for _ in $(seq 200); do
        [ "$(titled_windows | wc -l)" -ge "$count" ] && return 0
        sleep 0.05
    done
    return 1
}

start_program() {
    "$program" &
    program_pid=$!
    wait_for_window_count 1 || fail "the main window did not appear"
    main_window=$(titled_windows | head -1)
    xdotool windowfocus --sync "$main_window"
    sleep 0.3
}

# Clicks the save button, confirms the dialog with Enter and waits for the program to end.
save_and_confirm() {
    xdotool mousemove --window "$main_window" 158 184 click 1
    wait_for_window_count 2 || fail "no confirmation after saving ($1)"
    local dialog
    dialog=$(titled_windows | grep -vx "$main_window" | head -1)
    xdotool windowfocus --sync "$dialog"
    sleep 0.2
    xdotool key Return
    for _ in $(seq 100); do
        kill -0 "$program_pid" 2>/dev/null || break
        sleep 0.05
    done
    kill -0 "$program_pid" 2>/dev/null && fail "the program did not end after the confirmation ($1)"
    wait "$program_pid" || fail "exit code $? ($1)"
    program_pid=
}

# First run: the fields start empty; type into them.
start_program
xdotool type --delay 80 "$name"
xdotool key Tab
xdotool type --delay 80 "$mail"
save_and_confirm "first run"

# The name is stored in CP932, as escaped bytes, and the address as typed.
# The store's escaping: bytes outside "!".."~", and "\" itself, as \xHH.
expected_name=$(printf '%s' "$name" | iconv -f UTF-8 -t CP932 | /usr/bin/python3 -c '
import sys
print("".join(chr(b) if 0x21 <= b <= 0x7E and b != 0x5C else "\\x%02X" % b for b in sys.stdin.buffer.read()))')
grep -qxF "NAME	1	${expected_name}\\x00" "$values" || { cat "$values"; fail "NAME not stored as CP932"; }
grep -qxF "MAIL1	1	${mail}\\x00" "$values" || { cat "$values"; fail "MAIL1 not stored"; }
grep -qxF "MAIL2	4	\\x00\\x00\\x00\\x00" "$values" || { cat "$values"; fail "MAIL2 not stored"; }
saved=$(cat "$values")

# Second run: the saved settings are back, so the save button works and stores the same bytes.
start_program
if [ -n "$screenshot" ]; then import -window "$main_window" "$screenshot"; fi
rm "$values"
save_and_confirm "after the restart"
[ "$(cat "$values")" = "$saved" ] || { cat "$values"; fail "the restarted window did not show the saved settings"; }
echo "PASS"
