#!/usr/bin/env bash
# The Windows program as its users get it, under Wine on one Xvfb display, and the downloads of
# both systems:
#   1. the Win32 window in process: layout at 96 and 144 DPI, frame, fonts, tab order, links;
#   2. settings typed into the window land in the prefix's registry and come back;
#   3. dropped files sent through the test bed and scripted servers (the end-to-end suite, run
#      on the 64-bit and on the 32-bit milte-post.exe): the same dialogue, request line and
#      messages as the Linux program;
#   4. the downloads: the zip holds the two .exe files that 3 ran, stripped; the 32-bit installer
#      installs the 64-bit program silently, it starts, the uninstaller removes it all but the
#      settings; the .deb passes lintian, installs with apt-get, its program starts in settings
#      mode, and it is removed again.
# Run inside test.sh's test bed environment (it sources the bed's env file first):
#   scripts/test-windows-app.sh
# MILTE_BUILD_DIR (default build) holds the Linux build with the end-to-end harness,
# MILTE_WIN_BUILD_DIR and MILTE_WIN32_BUILD_DIR (default build-win64, build-win32) the Windows
# builds. Screenshots of the window and of a message go to the 64-bit build's screenshots/
# folder. Windows programs run through scripts/wine-run.sh, so the process started is the
# program's own. A non-empty MILTE_WIN32_SKIP (scripts/wine32.sh's reason) skips what runs 32-bit
# programs: the 32-bit program's sends and the installer's run.
set -euo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$ROOT"
BUILD_DIR=${MILTE_BUILD_DIR:-build}
WINDOWS_BUILD_DIR=${MILTE_WIN_BUILD_DIR:-build-win64}
WINDOWS_BUILD_DIR_32=${MILTE_WIN32_BUILD_DIR:-build-win32}

if [[ -z "${MILTE_INSIDE_XVFB:-}" ]]; then
    [[ -n ${MILTE_WIN32_SKIP+set} ]] || MILTE_WIN32_SKIP=$(scripts/wine32.sh)
    export MILTE_WIN32_SKIP
    [[ -f "$WINDOWS_BUILD_DIR/build.ninja" ]] ||
        cmake -S . -B "$WINDOWS_BUILD_DIR" -G Ninja -DMILTE_WERROR=ON -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
    [[ -f "$WINDOWS_BUILD_DIR_32/build.ninja" ]] ||
        cmake -S . -B "$WINDOWS_BUILD_DIR_32" -G Ninja -DMILTE_WERROR=ON -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-i686.cmake
    cmake --build "$WINDOWS_BUILD_DIR" --target milte-post test_win32_face
    cmake --build "$WINDOWS_BUILD_DIR_32" --target milte-post
    cmake --build "$BUILD_DIR" --target test_e2e milte-post
    MILTE_INSIDE_XVFB=1 exec xvfb-run -a -s "-screen 0 1024x768x24 -noreset" "$0" "$@"
fi

EXE=$(realpath "$WINDOWS_BUILD_DIR/app/milte-post.exe")
EXE_32=$(realpath "$WINDOWS_BUILD_DIR_32/app/milte-post.exe")
SHOTS=$(realpath -m "$WINDOWS_BUILD_DIR/screenshots")
mkdir -p "$SHOTS"
WORK=$(mktemp -d "${TMPDIR:-/tmp}/milte-windows-app.XXXXXX")
started=$SECONDS

fail() { echo "test-windows-app: FAIL: $*" >&2; exit 1; }
step() { echo "test-windows-app: $* ($((SECONDS - started)) s)"; }

# A fresh prefix of our own, Japanese, its home away from the user's; a persistent wineserver.
setup_wine() {
    export HOME=$WORK/home WINEPREFIX=$WORK/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
    mkdir -p "$HOME" "$WORK/locale" "$WINEPREFIX"
    localedef -i ja_JP -f UTF-8 "$WORK/locale/ja_JP.UTF-8" 2> /dev/null || true
    unset LC_ALL
    export LOCPATH=$WORK/locale LANG=ja_JP.UTF-8
    wineserver -p  # persistent from the start: a running server refuses the switch
    scripts/wine-run.sh wineboot -i > /dev/null 2>&1
    # The system's dialog font shows Japanese through IPA P Gothic; Wine draws the frames itself.
    scripts/wine-run.sh reg add 'HKCU\Software\Wine\Fonts\Replacements' /v 'MS UI Gothic' /d IPAPGothic /f > /dev/null
    scripts/wine-run.sh reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d N /f > /dev/null
    # With no window manager on the display, the window given the X focus (as the tests give it)
    # becomes the Windows foreground window, which is where Wine sends the keys.
    scripts/wine-run.sh reg add 'HKCU\Software\Wine\X11 Driver' /v UseTakeFocus /d N /f > /dev/null
}
cleanup() {
    local status=$?
    wineserver -k 2> /dev/null || true
    rm -rf "$WORK"
    exit "$status"
}
trap cleanup EXIT

setup_wine
step "Wine prefix ready"

# 1. The window in process, at 96 DPI, then at 150 % where the layout is scaled.
scripts/wine-run.sh "$WINDOWS_BUILD_DIR/tests/win32/test_win32_face.exe" || fail "the Win32 window test"
scripts/wine-run.sh reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d 144 /f > /dev/null
scripts/wine-run.sh "$WINDOWS_BUILD_DIR/tests/win32/test_win32_face.exe" --gtest_brief=1 ||
    fail "the Win32 window test at 144 DPI"
scripts/wine-run.sh reg delete 'HKCU\Control Panel\Desktop' /v LogPixels /f > /dev/null
step "window tests passed"

# 2. Settings from the keyboard, into the registry and back.
tests/app/settings_roundtrip_xvfb.sh "$EXE" "$SHOTS/windows-main-window.png" "$SHOTS/windows-message.png" > /dev/null ||
    fail "settings round trip under Wine"
step "settings round trip passed"

# 3. Sends of dropped files, by each program.
# From the screenshots folder: the tests leave their pictures where they run (the 32-bit
# program's in a folder of its own).
E2E=$(realpath "$BUILD_DIR/tests/e2e/test_e2e")
(cd "$SHOTS" && MILTE_E2E_WINDOWS_PROGRAM=$EXE "$E2E") || fail "the end-to-end sends under Wine"
step "end-to-end sends of the 64-bit program passed"
if [[ -z $MILTE_WIN32_SKIP ]]; then
    mkdir -p "$SHOTS/32bit"
    (cd "$SHOTS/32bit" && MILTE_E2E_WINDOWS_PROGRAM=$EXE_32 "$E2E") || fail "the end-to-end sends of the 32-bit program under Wine"
    step "end-to-end sends of the 32-bit program passed"
else
    step "32-bit runs skipped: $MILTE_WIN32_SKIP (the 32-bit program's end-to-end sends)"
fi

# 4. The downloads.
DIST=$WORK/dist
MILTE_DIST_DIR=$DIST scripts/package.sh windows > /dev/null
MILTE_DIST_DIR=$DIST scripts/package.sh linux > /dev/null
tests/packaging/check_windows_downloads.sh "$EXE" "$EXE_32" "$DIST"/milte-post-*-windows.zip \
    "$DIST"/milte-post-*-setup.exe || fail "the Windows downloads"
step "Windows downloads checked"
tests/packaging/check_deb.sh "$DIST"/milte-post_*.deb || fail "the .deb"
step "the .deb checked"
