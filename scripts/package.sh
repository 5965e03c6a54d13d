#!/usr/bin/env bash
# Builds the downloads into dist/ (MILTE_DIST_DIR):
#   linux:   milte-post_<version>_<arch>.deb (the program, its icons and its desktop entry)
#   windows: milte-post-<version>-windows.zip (the 64-bit program in 64bit/, the 32-bit one in
#            32bit/, and a read-me) and milte-post-<version>-setup.exe (the NSIS installer, which
#            installs the program that fits the Windows it runs on)
# Usage: scripts/package.sh [linux|windows|all]   (default all)
# MILTE_BUILD_DIR, MILTE_WIN_BUILD_DIR and MILTE_WIN32_BUILD_DIR pick the build directories
# (build, build-win64, build-win32); the programs are built there first when not up to date.
# The version is the one in CMakeLists.txt's project() line, the only place it is written.
set -euo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$ROOT"
WHAT=${1:-all}
BUILD_DIR=${MILTE_BUILD_DIR:-build}
WINDOWS_BUILD_DIR=${MILTE_WIN_BUILD_DIR:-build-win64}
WINDOWS_BUILD_DIR_32=${MILTE_WIN32_BUILD_DIR:-build-win32}
DIST_DIR=${MILTE_DIST_DIR:-dist}
VERSION=$(sed -n 's/^project(MiltePost VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
# Windows writes a version as four numbers.
# shellcheck disable=SC2086  # split at the dots
VERSION4=$(IFS=.; set -- $VERSION 0 0 0; echo "$1.$2.$3.$4")
scripts/install-deps.sh
mkdir -p "$DIST_DIR"
DIST_DIR=$(cd "$DIST_DIR" && pwd)

package_linux() {
    [[ -f "$BUILD_DIR/build.ninja" ]] || cmake -S . -B "$BUILD_DIR" -G Ninja -DMILTE_WERROR=ON
    cmake --build "$BUILD_DIR" --target milte-post
    local stage root arch deb
    stage=$(mktemp -d)
    trap 'rm -rf "$stage"' RETURN
    root=$stage/debian/milte-post
    DESTDIR="$root" cmake --install "$BUILD_DIR" --prefix /usr --strip --component Unspecified > /dev/null
    # What every Debian package documents: its copyright, and a change log whose entry is this
    # version, dated by the last commit.
    local doc=$root/usr/share/doc/milte-post
    mkdir -p "$doc"
    cp packaging/debian/copyright "$doc/copyright"
    printf 'milte-post (%s) stable; urgency=medium\n\n  * Release %s.\n\n -- %s  %s\n' "$VERSION" "$VERSION" \
        "$(sed -n 's/^Maintainer: //p' packaging/debian/control.in)" \
        "$(date -R -u -d "@$(git log -1 --format=%ct 2> /dev/null || date +%s)")" | gzip -9n > "$doc/changelog.gz"
    arch=$(dpkg --print-architecture)
    # The libraries the binary links, as package dependencies; the platform plugins and the font
    # the window is measured in come on top.
    printf 'Source: milte-post\n\nPackage: milte-post\nArchitecture: any\n' > "$stage/debian/control"
    local shlibs
    shlibs=$(cd "$stage" && dpkg-shlibdeps -O debian/milte-post/usr/bin/milte-post | sed -n 's/^shlibs:Depends=//p')
    mkdir -p "$root/DEBIAN"
    sed -e "s/@VERSION@/$VERSION/" -e "s/@ARCH@/$arch/" \
        -e "s/@DEPENDS@/$shlibs, qt6-qpa-plugins, fonts-ipafont-gothic/" \
        -e "s/@SIZE@/$(du -sk "$root/usr" | cut -f1)/" \
        packaging/debian/control.in > "$root/DEBIAN/control"
    deb="$DIST_DIR/milte-post_${VERSION}_${arch}.deb"
    dpkg-deb --root-owner-group -Zxz --build "$root" "$deb" > /dev/null
    echo "package: $deb"
}

# build_windows_program DIR TOOLCHAIN: the Windows program, stripped, in DIR/app/milte-post.exe.
build_windows_program() {
    [[ -f "$1/build.ninja" ]] ||
        cmake -S . -B "$1" -G Ninja -DMILTE_WERROR=ON -DCMAKE_TOOLCHAIN_FILE="cmake/$2.cmake" > /dev/null
    cmake --build "$1" --target milte-post
}

package_windows() {
    build_windows_program "$WINDOWS_BUILD_DIR" mingw-w64-x86_64
    build_windows_program "$WINDOWS_BUILD_DIR_32" mingw-w64-i686
    local stage zip setup
    stage=$(mktemp -d)
    trap 'rm -rf "$stage"' RETURN
    mkdir "$stage/64bit" "$stage/32bit"
    cp "$WINDOWS_BUILD_DIR/app/milte-post.exe" "$stage/64bit/milte-post.exe"
    cp "$WINDOWS_BUILD_DIR_32/app/milte-post.exe" "$stage/32bit/milte-post.exe"
    # The read-me as a Japanese Windows' editor opens it: Shift-JIS, CR LF.
    iconv -f UTF-8 -t CP932 packaging/windows/readme.txt | sed 's/$/\r/' > "$stage/readme.txt"
    zip="$DIST_DIR/milte-post-${VERSION}-windows.zip"
    rm -f "$zip"
    (cd "$stage" && zip -q -X -9 "$zip" 64bit/milte-post.exe 32bit/milte-post.exe readme.txt)
    setup="$DIST_DIR/milte-post-${VERSION}-setup.exe"
    makensis -V2 -INPUTCHARSET UTF8 -DVERSION="$VERSION" -DVERSION4="$VERSION4" \
        -DPROGRAM64="$stage/64bit/milte-post.exe" -DPROGRAM32="$stage/32bit/milte-post.exe" \
        -DREADME="$stage/readme.txt" -DICON="$ROOT/app/icon/milte-post.ico" -DOUTFILE="$setup" \
        packaging/windows/installer.nsi
    echo "package: $zip"
    echo "package: $setup"
}

case "$WHAT" in
    linux) package_linux ;;
    windows) package_windows ;;
    all) package_linux; package_windows ;;
    *) echo "usage: $0 [linux|windows|all]" >&2; exit 2 ;;
esac
