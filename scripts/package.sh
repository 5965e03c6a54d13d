#!/usr/bin/env bash
# Builds the downloads into dist/ (MILTE_DIST_DIR):
#   linux:   milte-post_<version>_<arch>.deb (the program, its icons and its desktop entry)
#   windows: milte-post-<version>-windows.zip (the one .exe and a read-me) and
#            milte-post-<version>-setup.exe (the NSIS installer)
# Usage: scripts/package.sh [linux|windows|all]   (default all)
# MILTE_BUILD_DIR and MILTE_WIN_BUILD_DIR pick the build directories (build, build-win64);
# the program is built there first when it is not up to date.
set -euo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$ROOT"
WHAT=${1:-all}
BUILD_DIR=${MILTE_BUILD_DIR:-build}
WINDOWS_BUILD_DIR=${MILTE_WIN_BUILD_DIR:-build-win64}
DIST_DIR=${MILTE_DIST_DIR:-dist}
VERSION=$(sed -n 's/^project(MiltePost VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
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

package_windows() {
    [[ -f "$WINDOWS_BUILD_DIR/build.ninja" ]] ||
        cmake -S . -B "$WINDOWS_BUILD_DIR" -G Ninja -DMILTE_WERROR=ON -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
    cmake --build "$WINDOWS_BUILD_DIR" --target milte-post
    local stage exe zip setup
    stage=$(mktemp -d)
    trap 'rm -rf "$stage"' RETURN
    exe="$WINDOWS_BUILD_DIR/app/milte-post.exe"
    cp "$exe" "$stage/milte-post.exe"
    # The read-me as a Japanese Windows' editor opens it: Shift-JIS, CR LF.
    iconv -f UTF-8 -t CP932 packaging/windows/readme.txt | sed 's/$/\r/' > "$stage/readme.txt"
    zip="$DIST_DIR/milte-post-${VERSION}-windows.zip"
    rm -f "$zip"
    (cd "$stage" && zip -q -X -9 "$zip" milte-post.exe readme.txt)
    setup="$DIST_DIR/milte-post-${VERSION}-setup.exe"
    makensis -V2 -INPUTCHARSET UTF8 -DVERSION="$VERSION" -DPROGRAM="$stage/milte-post.exe" \
        -DREADME="$stage/readme.txt" -DOUTFILE="$setup" packaging/windows/installer.nsi
    echo "package: $zip"
    echo "package: $setup"
}

case "$WHAT" in
    linux) package_linux ;;
    windows) package_windows ;;
    all) package_linux; package_windows ;;
    *) echo "usage: $0 [linux|windows|all]" >&2; exit 2 ;;
esac
