# Shared by start.sh and stop.sh. Every server runs in a session of its own (setsid), so its
# PID is also its session id; stopping it reaches the session and every descendant (nginx's
# workers, vsftpd's per-client processes, which take sessions of their own).

tb_say() { echo "testbed: $*" >&2; }
tb_die() { tb_say "ERROR: $*"; exit 1; }

# True while PID is a process that has not yet exited (a zombie counts as gone: a server
# re-parented to PID 1 stays a zombie for a while after it ended).
tb_alive() {
    local state
    state=$(ps -o stat= -p "$1" 2>/dev/null) || return 1
    [[ -n "$state" && "$state" != Z* ]]
}

# PIDs of the live (non-zombie) processes of session SID and of all their descendants (vsftpd
# gives each client a session of its own).
tb_session_tree() {
    ps -e -o pid=,ppid=,sid=,stat= | awk -v sid="$1" '
        $4 !~ /^Z/ { parent[$1] = $2; session[$1] = $3 }
        END {
            do {
                grown = 0
                for (pid in parent) {
                    if (!(pid in tree) && (session[pid] == sid || parent[pid] in tree)) {
                        tree[pid] = 1
                        grown = 1
                    }
                }
            } while (grown)
            for (pid in tree) print pid
        }'
}

# PIDs in the list that have not yet exited.
tb_alive_of() {
    local pid
    for pid in "$@"; do
        if tb_alive "$pid"; then echo "$pid"; fi
    done
}

# True when something listens on 127.0.0.1:PORT.
# Whether something listens on PORT of ADDRESS (default 127.0.0.1; an IPv6 one in brackets).
tb_listening() {
    [[ -n "$(ss -Hltn "src ${2:-127.0.0.1}:$1" 2>/dev/null)" ]]
}

# Waits (at most ~5 s) until PID listens on PORT; fails loudly, with the server's output, if it
# exits or never listens.
tb_wait_listening() {
    local name=$1 pid=$2 port=$3 output=$4 address=${5:-127.0.0.1} tries
    for ((tries = 0; tries < 100; tries++)); do
        if ! tb_alive "$pid"; then
            local status=0
            wait "$pid" || status=$?
            tb_say "$name exited while starting (status $status); its output ($output):"
            cat "$output" >&2 || true
            return 1
        fi
        if tb_listening "$port" "$address"; then
            return 0
        fi
        sleep 0.05
    done
    tb_say "$name did not listen on $address:$port within 5 s; its output ($output):"
    cat "$output" >&2 || true
    return 1
}

# Sends SIGTERM to session SID and its descendants, waits (at most ~5 s) for them to end, then
# SIGKILLs the rest. Returns 1 if something survived even that.
tb_stop_session() {
    local name=$1 sid=$2 tries
    local -a members
    mapfile -t members < <(tb_session_tree "$sid")
    [[ ${#members[@]} -gt 0 ]] || return 0
    kill -TERM "${members[@]}" 2> /dev/null || true
    for ((tries = 0; tries < 100; tries++)); do
        mapfile -t members < <(tb_alive_of "${members[@]}")
        [[ ${#members[@]} -gt 0 ]] || return 0
        sleep 0.05
    done
    tb_say "$name (session $sid) ignored SIGTERM; killing ${members[*]}"
    kill -KILL "${members[@]}" 2> /dev/null || true
    sleep 0.2
    mapfile -t members < <(tb_alive_of "${members[@]}")
    [[ ${#members[@]} -eq 0 ]]
}
