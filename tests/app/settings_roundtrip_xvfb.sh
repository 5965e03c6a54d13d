#!/bin/bash
# The real program under Xvfb, driven from the keyboard as a person would: type a Japanese name and
# an address, choose the second carrier and save with Enter, confirm; start again and save once
# more. The second save can only happen, and only stores the same bytes, when the window came back
# with both fields filled and the carrier chosen as they were saved. A third run types a whole
# address into the address field, which is stored as its local part and its carrier.
# A milte-post.exe runs under Wine (the prefix in WINEPREFIX) and stores into its registry.
# MILTE_FIRST_CARRIER is the first domain of the program's carrier list (default docomo.ne.jp).
#
# Usage: settings_roundtrip_xvfb.sh PROGRAM [WINDOW_SCREENSHOT.png [MESSAGE_SCREENSHOT.png]]
set -euo pipefail

program=$1
screenshot=${2:-}
message_screenshot=${3:-}
name="山田 花子"
mail="hanako.y"
first_carrier=${MILTE_FIRST_CARRIER:-docomo.ne.jp}

if [ -z "${MILTE_INSIDE_XVFB:-}" ]; then
    MILTE_INSIDE_XVFB=1 exec xvfb-run -a -s "-screen 0 800x600x24 -noreset" "$0" "$@"
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
windows_key='HKCU\Software\Varrowen\iZDQ'

windows=
run=("$program")
wine_run=$(dirname "$0")/../../scripts/wine-run.sh
if [[ $program == *.exe ]]; then
    windows=1
    run=("$wine_run" "$program")
    "$wine_run" reg delete "$windows_key" /f > /dev/null 2>&1 || true
fi

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
    "${run[@]}" &
    program_pid=$!
    wait_for_window_count 1 || fail "the main window did not appear"
    main_window=$(titled_windows | head -1)
    xdotool windowfocus --sync "$main_window"
    sleep 0.3
}

# Saves with the keys given (xdotool key names), confirms the dialog with Enter and waits for the
# program to end.
save_and_confirm() {
    local keys=$1 run_name=$2
    # shellcheck disable=SC2086
    xdotool key $keys
    wait_for_window_count 2 || fail "no confirmation after saving ($run_name)"
    local dialog
    dialog=$(titled_windows | grep -vx "$main_window" | head -1)
    xdotool windowfocus --sync "$dialog"
    sleep 0.2
    if [ -n "$message_screenshot" ] && [ "$run_name" = "first run" ]; then import -window root "$message_screenshot"; fi
    xdotool key Return
    for _ in $(seq 100); do
        kill -0 "$program_pid" 2>/dev/null || break
        sleep 0.05
    done
    kill -0 "$program_pid" 2>/dev/null && fail "the program did not end after the confirmation ($run_name)"
    wait "$program_pid" || fail "exit code $? ($run_name)"
    program_pid=
}

# What the store holds, one value a line: the Linux store's file, or the registry key under Wine
# (reg prints in the console's code page, CP932 here).
stored_values() {
    if [ -n "$windows" ]; then
        "$wine_run" reg query "$windows_key" | iconv -f CP932 -t UTF-8 | tr -d '\r' | grep -E '^ +(NAME|MAIL1|MAIL2) ' | sort
    else
        cat "$values"
    fi
}

clear_store() {
    if [ -n "$windows" ]; then "$wine_run" reg delete "$windows_key" /f > /dev/null; else rm "$values"; fi
}

# Wine reads the keyboard map when it starts and misses keys that xdotool maps while it types:
# the name's characters get spare keys of their own beforehand, where xdotool finds them.
map_characters_to_spare_keys() {
    local spare keysym i=0
    mapfile -t spare < <(xmodmap -pke | awk 'NF == 3 {print $2}')
    while read -r keysym; do
        xmodmap -e "keycode ${spare[i]} = $keysym"
        i=$((i + 1))
    done < <(python3 -c 'import sys; print("\n".join(sorted({"U%04X" % ord(c) for c in sys.argv[1] if ord(c) > 126})))' "$1")
}
if [ -n "$windows" ]; then map_characters_to_spare_keys "$name"; fi

# First run: the fields start empty; type into them, choose the second carrier and press Enter
# on the list: the save button is the window's default button.
start_program
if [ -n "$windows" ]; then
    # Under Wine the first key of the window is lost when it is not ASCII: a plain one goes first.
    xdotool key x BackSpace
fi
xdotool type --delay 80 "$name"
xdotool key Tab
xdotool type --delay 80 "$mail"
save_and_confirm "Tab Down Return" "first run"

saved=$(stored_values)
if [ -n "$windows" ]; then
    # String values NAME and MAIL1, the DWORD MAIL2, as a Japanese Windows stores them.
    grep -qxE " +NAME +REG_SZ +${name}" <<< "$saved" || fail "NAME not stored: $saved"
    grep -qxE " +MAIL1 +REG_SZ +${mail}" <<< "$saved" || fail "MAIL1 not stored: $saved"
    grep -qxE " +MAIL2 +REG_DWORD +0x1" <<< "$saved" || fail "MAIL2 not stored: $saved"
else
    # The name is stored in CP932, as escaped bytes, and the address as typed.
    # The store's escaping: bytes outside "!".."~", and "\" itself, as \xHH.
    expected_name=$(printf '%s' "$name" | iconv -f UTF-8 -t CP932 | /usr/bin/python3 -c '
import sys
print("".join(chr(b) if 0x21 <= b <= 0x7E and b != 0x5C else "\\x%02X" % b for b in sys.stdin.buffer.read()))')
    grep -qxF "NAME	1	${expected_name}\\x00" <<< "$saved" || fail "NAME not stored as CP932: $saved"
    grep -qxF "MAIL1	1	${mail}\\x00" <<< "$saved" || fail "MAIL1 not stored: $saved"
    grep -qxF "MAIL2	4	\\x01\\x00\\x00\\x00" <<< "$saved" || fail "MAIL2 not stored: $saved"
fi

# Second run: the saved settings are back, so the save button works and stores the same bytes.
start_program
if [ -n "$screenshot" ]; then import -window "$main_window" "$screenshot"; fi
clear_store
save_and_confirm "Tab Tab Tab space" "after the restart"
[ "$(stored_values)" = "$saved" ] || fail "the restarted window did not show the saved settings: $(stored_values)"

# Third run: the whole address typed over the local part (Tab selects the field's text), Enter in
# the field: stored as the local part, with the carrier its domain names.
start_program
xdotool key Tab
xdotool type --delay 80 "ichiro@$first_carrier"
save_and_confirm Return "whole address"
split=$(stored_values)
if [ -n "$windows" ]; then
    grep -qxE " +MAIL1 +REG_SZ +ichiro" <<< "$split" || fail "MAIL1 not split: $split"
    grep -qxE " +MAIL2 +REG_DWORD +0x0" <<< "$split" || fail "MAIL2 not split: $split"
else
    grep -qxF "MAIL1	1	ichiro\\x00" <<< "$split" || fail "MAIL1 not split: $split"
    grep -qxF "MAIL2	4	\\x00\\x00\\x00\\x00" <<< "$split" || fail "MAIL2 not split: $split"
fi
echo "PASS"
