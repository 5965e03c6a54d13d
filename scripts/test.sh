#!/usr/bin/env bash
# Builds everything and runs every test, stage by stage, against one fresh test bed of real
# servers:
#   suite   the whole suite (gcc)
#   windows the Windows builds (64- and 32-bit), their tests under Wine, the Windows program's
#           end-to-end runs and the downloads of both systems (scripts/test-windows*.sh); the
#           32-bit runs where the machine can run the 32-bit Wine (scripts/wine32.sh), else named
#           as skipped, with the reason, in the stage's timing line
#   asan    the whole suite again under AddressSanitizer and UndefinedBehaviorSanitizer (clang)
#   tsan    the platform and socket tests under ThreadSanitizer (clang)
#   fuzz    every fuzz target on its seed corpus and a few seconds beyond (clang, libFuzzer)
# and prints how long each stage took.
#
#   scripts/test.sh [--quick] [ctest arguments...]     e.g. scripts/test.sh --quick -R testbed
#
# --quick (or MILTE_QUICK=1) runs the suite stage alone, for daily work; MILTE_STAGES="asan fuzz"
# runs the stages named. ctest arguments go to the suite and asan stages. MILTE_BUILD_DIR picks
# the suite's build directory (default: build); the others are build-asan, build-tsan and
# build-fuzz. MILTE_FUZZ_SECONDS is each fuzz target's run beyond its corpus (default 5).
set -euo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD_DIR=${MILTE_BUILD_DIR:-build}
QUICK=${MILTE_QUICK:-0}
FUZZ_SECONDS=${MILTE_FUZZ_SECONDS:-5}
CLANG=clang++-16
# Sanitizer reports name functions and lines.
export ASAN_SYMBOLIZER_PATH=/usr/lib/llvm-16/bin/llvm-symbolizer
export TSAN_OPTIONS="external_symbolizer_path=$ASAN_SYMBOLIZER_PATH"
cd "$ROOT"

if [[ ${1:-} == --quick ]]; then
    QUICK=1
    shift
fi
CTEST_ARGS=("$@")

# ---- The test bed, started once for every stage ------------------------------------------------

BED=
stop_bed() {
    local status=$?
    trap - EXIT INT TERM
    if [[ -n "$BED" ]]; then
        if ! scripts/testbed/stop.sh "$BED"; then
            echo "test.sh: the test bed did not stop cleanly" >&2
            status=1
        fi
        if [[ $status -eq 0 ]]; then
            rm -rf "$BED"
        else
            echo "test.sh: test bed files kept in $BED" >&2
        fi
    fi
    exit "$status"
}

start_bed() {
    BED=$(mktemp -d "${TMPDIR:-/tmp}/milte-testbed.XXXXXX")
    trap stop_bed EXIT
    trap 'exit 130' INT
    trap 'exit 143' TERM
    scripts/testbed/start.sh "$BED"
    set -a
    # shellcheck disable=SC1091
    source "$BED/env"
    set +a
    export QT_QPA_PLATFORM=offscreen
}

# ---- Stages ------------------------------------------------------------------------------------

# configure DIR [cmake options...]: one build directory of its own per configuration.
configure() {
    local dir=$1
    shift
    cmake -S . -B "$dir" -G Ninja -DMILTE_WERROR=ON "$@" > /dev/null
}

# A hung test fails after two minutes instead of holding the run up.
run_ctest() {
    ctest --test-dir "$1" --output-on-failure --timeout 120 "${CTEST_ARGS[@]}"
}

stage_suite() {
    configure "$BUILD_DIR"
    cmake --build "$BUILD_DIR"
    run_ctest "$BUILD_DIR"
}

# Leaks are reported unless they lie inside the system's own libraries (scripts/lsan.supp).
stage_asan() {
    configure build-asan -DCMAKE_CXX_COMPILER="$CLANG" -DMILTE_SANITIZE=address,undefined
    cmake --build build-asan
    ASAN_OPTIONS=detect_leaks=1:detect_stack_use_after_return=1:check_initialization_order=1:strict_init_order=1 \
    LSAN_OPTIONS=suppressions="$ROOT/scripts/lsan.supp":print_suppressions=0 \
    UBSAN_OPTIONS=print_stacktrace=1 \
        run_ctest build-asan
}

# The threads meet in the platform layer (message queue, socket watchers) and the socket
# component; those tests run under ThreadSanitizer.
stage_tsan() {
    configure build-tsan -DCMAKE_CXX_COMPILER="$CLANG" -DMILTE_SANITIZE=thread
    cmake --build build-tsan --target test_platform test_socket
    local program
    for program in build-tsan/tests/platform/test_platform build-tsan/tests/socket/test_socket; do
        TSAN_OPTIONS="$TSAN_OPTIONS:halt_on_error=1:second_deadlock_stack=1" timeout 600 "$program" --gtest_brief=1
    done
}

# Each target replays its seeds, then mutates them for FUZZ_SECONDS; a crash or a failed check
# fails the stage and leaves the input in build-fuzz/findings/. New inputs and the files the
# targets write go to a scratch folder, in memory where there is /dev/shm, removed afterwards.
stage_fuzz() {
    configure build-fuzz -DCMAKE_CXX_COMPILER="$CLANG" -DMILTE_FUZZ=ON -DMILTE_SANITIZE=address,undefined \
        -DMILTE_BUILD_TESTS=OFF
    cmake --build build-fuzz --target milte_fuzzers
    local findings=build-fuzz/findings scratch_root=${TMPDIR:-/tmp} scratch target status
    [[ -d /dev/shm ]] && scratch_root=/dev/shm
    mkdir -p "$findings"
    for corpus in fuzz/corpus/*/; do
        target=$(basename "$corpus")
        scratch=$(mktemp -d "$scratch_root/milte-fuzz-$target.XXXXXX")
        mkdir "$scratch/new"
        echo "fuzz: $target"
        status=0
        TMPDIR=$scratch "build-fuzz/fuzz/fuzz_$target" -max_total_time="$FUZZ_SECONDS" -timeout=10 \
            -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$findings/$target-" \
            "$scratch/new" "$corpus" > "$findings/$target.log" 2>&1 || status=$?
        rm -rf "$scratch"
        if [[ $status -ne 0 ]]; then
            tail -n 40 "$findings/$target.log" >&2
            echo "test.sh: fuzz target $target failed; input in $findings/" >&2
            return 1
        fi
        grep -E '^stat::number_of_executed_units' "$findings/$target.log" || true
    done
}

# The Windows build's tests under Wine against the same bed; with no ctest arguments, the
# Windows program under Wine and the downloads of both systems as well. Where the 32-bit Wine
# cannot run here, the 32-bit build is built but not run, and the stage's line says why.
stage_windows() {
    scripts/install-deps.sh wine wine64 fonts-wine
    MILTE_WIN32_SKIP=$(scripts/wine32.sh)
    export MILTE_WIN32_SKIP
    if [[ -n $MILTE_WIN32_SKIP ]]; then
        echo "test.sh: 32-bit runs skipped: $MILTE_WIN32_SKIP" >&2
        STAGE_NOTE="32-bit runs skipped: $MILTE_WIN32_SKIP"
    fi
    scripts/test-windows.sh "${CTEST_ARGS[@]}"
    if [[ ${#CTEST_ARGS[@]} -eq 0 ]]; then scripts/test-windows-app.sh; fi
}

# ---- The run -----------------------------------------------------------------------------------

TIMINGS=()
# run_stage NAME: runs stage_NAME and notes how long it took, with what the stage left in
# STAGE_NOTE (what it skipped, and why).
run_stage() {
    local started=$SECONDS
    STAGE_NOTE=
    echo "==== $1" >&2
    "stage_$1"
    TIMINGS+=("$(printf '%-7s %4d s%s' "$1" $((SECONDS - started)) "${STAGE_NOTE:+   ($STAGE_NOTE)}")")
}

report_timings() {
    echo "==== stage timings" >&2
    printf '  %s\n' "${TIMINGS[@]}" >&2
}

scripts/install-deps.sh
start_bed
if [[ -n ${MILTE_STAGES:-} ]]; then
    read -r -a STAGES <<< "$MILTE_STAGES"
elif [[ $QUICK == 1 ]]; then
    STAGES=(suite)
else
    STAGES=(suite windows asan tsan fuzz)
fi
for stage in "${STAGES[@]}"; do
    run_stage "$stage"
done
report_timings
