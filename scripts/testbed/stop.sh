#!/usr/bin/env bash
# Stops every server start.sh DIR started (read from DIR/pids) and checks that none survives.
set -euo pipefail

[[ $# -eq 1 ]] || { echo "usage: $0 DIR" >&2; exit 2; }
HERE=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=common.sh
source "$HERE/common.sh"

PIDS=$1/pids
[[ -f "$PIDS" ]] || exit 0

failed=0
while read -r name pid; do
    [[ -n "$pid" ]] || continue
    tb_stop_session "$name" "$pid" || { tb_say "ERROR: $name (pid $pid) still runs"; failed=1; }
done < "$PIDS"
[[ $failed -eq 0 ]] && : > "$PIDS"
exit $failed
