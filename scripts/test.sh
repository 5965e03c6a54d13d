#!/usr/bin/env bash
# Builds everything and runs every test against a fresh test bed of real servers.
#   scripts/test.sh [ctest arguments...]     e.g. scripts/test.sh -R testbed
# MILTE_BUILD_DIR picks another build directory (default: build).
set -euo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD_DIR=${MILTE_BUILD_DIR:-build}
cd "$ROOT"

scripts/install-deps.sh
cmake -S . -B "$BUILD_DIR" -G Ninja -DMILTE_WERROR=ON
cmake --build "$BUILD_DIR"

BED=$(mktemp -d "${TMPDIR:-/tmp}/milte-testbed.XXXXXX")
stop_bed() {
    local status=$?
    trap - EXIT INT TERM
    if ! scripts/testbed/stop.sh "$BED"; then
        echo "test.sh: the test bed did not stop cleanly" >&2
        status=1
    fi
    if [[ $status -eq 0 ]]; then
        rm -rf "$BED"
    else
        echo "test.sh: test bed files kept in $BED" >&2
    fi
    exit "$status"
}
trap stop_bed EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

scripts/testbed/start.sh "$BED"
set -a
# shellcheck disable=SC1091
source "$BED/env"
set +a
export QT_QPA_PLATFORM=offscreen

# A hung test fails after two minutes instead of holding the run up.
ctest --test-dir "$BUILD_DIR" --output-on-failure --timeout 120 "$@"

# The Windows build's tests under Wine, against the same bed.
scripts/test-windows.sh "$@"
# The Windows program under Wine, and the downloads of both systems.
if [[ $# -eq 0 ]]; then scripts/test-windows-app.sh; fi
