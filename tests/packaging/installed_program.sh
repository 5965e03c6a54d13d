# Sourced by the download checks: starting an installed program in settings mode and seeing its
# window, once, on the display in DISPLAY.

program_pid=
stop_installed_program() {
    if [[ -n "$program_pid" ]]; then kill "$program_pid" 2> /dev/null || true; wait "$program_pid" 2> /dev/null || true; fi
    program_pid=
}

# Runs the command in the background; true when a window with the program's title shows within
# ten seconds and the program is still running then. The program is stopped either way.
installed_program_shows_its_window() {
    "$@" 2> /dev/null &
    program_pid=$!
    local shown=
    for _ in $(seq 200); do
        shown=$(xdotool search --all --onlyvisible --pid "$program_pid" --name '^ミルテ・ポスト$' 2> /dev/null || true)
        [[ -n "$shown" ]] && break
        sleep 0.05
    done
    local running=
    kill -0 "$program_pid" 2> /dev/null && running=1
    stop_installed_program
    [[ -n "$shown" && -n "$running" ]]
}
