# Shared by start.sh and stop.sh. Every server runs in a session of its own (setsid), so its
# PID is also its session id and stopping the session reaches its children (vsftpd's per-client
# processes, nginx's workers).

tb_say() { echo "testbed: $*" >&2; }
tb_die() { tb_say "ERROR: $*"; exit 1; }

# True while PID is a process that has not yet exited (a zombie counts as gone: a server
# re-parented to PID 1 stays a zombie for a while after it ended).
tb_alive() {
    local state
    state=$(ps -o stat= -p "$1" 2>/dev/null) || return 1
    [[ -n "$state" && "$state" != Z* ]]
}

# PIDs of the live (non-zombie) processes of session SID.
tb_session_members() {
    ps -e -o pid=,sid=,stat= | awk -v sid="$1" '$2 == sid && $3 !~ /^Z/ { print $1 }'
}

# True when something listens on 127.0.0.1:PORT.
tb_listening() {
    [[ -n "$(ss -Hltn "src 127.0.0.1:$1" 2>/dev/null)" ]]
}

# Waits (at most ~5 s) until PID listens on PORT; fails loudly, with the server's output, if it
# exits or never listens.
tb_wait_listening() {
    local name=$1 pid=$2 port=$3 output=$4 tries
    for ((tries = 0; tries < 100; tries++)); do
        if ! tb_alive "$pid"; then
            tb_say "$name exited while starting; its output ($output):"
            cat "$output" >&2 || true
            return 1
        fi
        if tb_listening "$port"; then
            return 0
        fi
        sleep 0.05
    done
    tb_say "$name did not listen on 127.0.0.1:$port within 5 s; its output ($output):"
    cat "$output" >&2 || true
    return 1
}

# Sends SIGTERM to session SID, waits (at most ~5 s) for its processes to end, then SIGKILLs the
# rest. Returns 1 if something survived even that.
tb_stop_session() {
    local name=$1 sid=$2 tries members
    kill -TERM -- "-$sid" 2>/dev/null || kill -TERM "$sid" 2>/dev/null || true
    for ((tries = 0; tries < 100; tries++)); do
        members=$(tb_session_members "$sid")
        [[ -z "$members" ]] && return 0
        sleep 0.05
    done
    tb_say "$name (session $sid) ignored SIGTERM; killing $members"
    # shellcheck disable=SC2086
    kill -KILL $members 2>/dev/null || true
    sleep 0.2
    [[ -z "$(tb_session_members "$sid")" ]]
}
