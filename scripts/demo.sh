#!/usr/bin/env bash
# A real send, start to finish, on this machine: installs what is needed, builds the program,
# starts a stand-in for the service on loopback (an FTP server and the "/ftp.php" script),
# saves the settings through the program's window, sends a sample file through the program's
# own dialogs, prints what the service received, and stops every server it started.
#
# On the user's display when DISPLAY is set (answer the message with OK); otherwise under Xvfb,
# with screenshots. Run as root (or with sudo): the packages and the FTP server's user need it.
#   scripts/demo.sh
# MILTE_BUILD_DIR picks another build directory (default: build).
set -euo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD_DIR=${MILTE_BUILD_DIR:-build}
cd "$ROOT"

if [[ $EUID -ne 0 ]]; then
    exec sudo -E bash "$0" "$@"
fi

# Stage 1: packages and the program, then a display.
if [[ -z "${MILTE_DEMO_READY:-}" ]]; then
    scripts/install-deps.sh
    cmake -S . -B "$BUILD_DIR" -G Ninja -DMILTE_WERROR=ON > /dev/null
    cmake --build "$BUILD_DIR" --target milte-post
    export MILTE_DEMO_READY=1
    if [[ -z "${DISPLAY:-}" ]]; then
        export MILTE_DEMO_XVFB=1
        exec xvfb-run -a -s "-screen 0 800x600x24 -noreset" bash "$0" "$@"
    fi
fi

# Stage 2: the stand-in service and the send.
PROGRAM=$ROOT/$BUILD_DIR/app/milte-post
OUT=$ROOT/$BUILD_DIR/demo
rm -rf "$OUT"
mkdir -p "$OUT"
WORK=$(mktemp -d "${TMPDIR:-/tmp}/milte-demo.XXXXXX")
chmod 755 "$WORK"  # the FTP server's user walks through it to its root folder
BED=$WORK/service
program_pid=

finish() {
    local status=$?
    trap - EXIT INT TERM
    if [[ -n "$program_pid" ]]; then kill "$program_pid" 2> /dev/null || true; fi
    scripts/testbed/stop.sh "$BED" || status=1
    rm -rf "$WORK"
    exit "$status"
}
trap finish EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

say() { printf '\n== %s\n' "$*"; }
die() { echo "demo: $*" >&2; exit 1; }

say "Starting the stand-in service on 127.0.0.1"
scripts/testbed/start.sh "$BED"
set -a
# shellcheck disable=SC1091
source "$BED/env"
set +a

# The program's own settings store, in a folder of the demo's (the user's settings stay as
# they are), and its send pointed at the stand-in.
export XDG_CONFIG_HOME=$WORK/config XDG_RUNTIME_DIR=$WORK/runtime
mkdir -p "$XDG_CONFIG_HOME" && mkdir -m 700 "$XDG_RUNTIME_DIR"
export QT_QPA_PLATFORM=xcb
export MILTE_UPLOAD_HOST=127.0.0.1 MILTE_FTP_PORT=$MILTE_TB_PYFTPD_PORT MILTE_HTTP_PORT=$MILTE_TB_NGINX_PORT

titled_windows() { xdotool search --all --onlyvisible --pid "$1" --name '^ミルテ・ポスト$' 2> /dev/null || true; }
wait_for_windows() {  # PID COUNT
    for _ in $(seq 200); do
        [[ $(titled_windows "$1" | wc -l) -ge $2 ]] && return 0
        sleep 0.05
    done
    return 1
}
focus() { xdotool windowactivate --sync "$1" 2> /dev/null || xdotool windowfocus --sync "$1"; sleep 0.3; }
wait_for_end() {
    for _ in $(seq 1200); do
        kill -0 "$program_pid" 2> /dev/null || break
        sleep 0.05
    done
    wait "$program_pid" || true
    program_pid=
}

say "Saving the settings through the program's window"
"$PROGRAM" 2>> "$OUT/program.log" &
program_pid=$!
wait_for_windows "$program_pid" 1 || die "the settings window did not appear"
window=$(titled_windows "$program_pid" | head -1)
focus "$window"
xdotool type --delay 60 "山田 花子"
xdotool key Tab
xdotool type --delay 60 "hanako.y"
[[ -n "${MILTE_DEMO_XVFB:-}" ]] && import -window "$window" "$OUT/main-window.png"
xdotool key Tab Tab space  # to the save button, and press it
wait_for_windows "$program_pid" 2 || die "no confirmation after saving"
focus "$(titled_windows "$program_pid" | grep -vx "$window" | head -1)"
xdotool key Return
wait_for_end

SAMPLE=$WORK/"ミルテ サンプル.png"
convert -size 240x160 gradient:'#f8c8d8'-'#6080c0' -fill white -draw 'circle 120,80 120,40' "$SAMPLE"

say "Sending $(basename "$SAMPLE") as if it had been dropped on the program's icon"
"$PROGRAM" "$SAMPLE" 2>> "$OUT/program.log" &
program_pid=$!
wait_for_windows "$program_pid" 1 || die "no message after the send"
if [[ -n "${MILTE_DEMO_XVFB:-}" ]]; then
    sleep 0.5
    import -window root -crop 800x600+0+0 "$OUT/send-message.png"
    focus "$(titled_windows "$program_pid" | head -1)"
    xdotool key Return
else
    echo "Answer the program's message with OK."
fi
wait_for_end

say "What the program showed"
grep '^dialog: ' "$OUT/program.log" | sed 's/\\n/\n    /g'

say "What the service received"
# pyftpdlib's log keeps the bytes of the wire (vsftpd's writes "?" for each byte of a Japanese
# name); they are CP932, shown in UTF-8 as the notification below, the password masked.
echo "FTP dialogue (pyftpdlib), as CP932 shown in UTF-8:"
grep -aE '^[<>] ' "$MILTE_TB_PYFTPD_LOG" | sed -E 's/^> PASS .*/> PASS ****/; s/^/    /' | iconv -f CP932 -t UTF-8 || true
stored=$(find "$MILTE_TB_PYFTPD_ROOT" -maxdepth 1 -type f -name '*.png' | head -1)
if [[ -n "$stored" ]] && cmp -s "$stored" "$SAMPLE"; then
    echo "Stored file: $(basename "$stored" | iconv -f CP932 -t UTF-8), $(stat -c %s "$stored") bytes, identical to the sample"
else
    echo "Stored file: missing or different"
fi
echo "Notification (nginx /ftp.php), request line as CP932 shown in UTF-8:"
sed 's/^/    /' "$MILTE_TB_NGINX_REQUEST_LINE_LOG" | iconv -f CP932 -t UTF-8

if [[ -n "${MILTE_DEMO_XVFB:-}" ]]; then
    say "Screenshots"
    echo "    $OUT/main-window.png"
    echo "    $OUT/send-message.png"
fi
say "Stopping the stand-in service"
