#!/usr/bin/env bash
# Installs what the build, the tests and the test bed need (Debian 12, as root), clang-16 with the
# sanitizer and libFuzzer runtimes and the symbolizer included. Does nothing when all of it is
# present already, so it is cheap to run before every test run. It never removes or downgrades a
# package the machine has: an install that would do either fails instead.
#   scripts/install-deps.sh [more packages...]
set -euo pipefail

PACKAGES=(
    cmake ninja-build g++ qt6-base-dev libasio-dev libgtest-dev libgmock-dev
    # The picture codecs of the Linux build
    libjpeg62-turbo-dev libtiff-dev libstb-dev
    clang-16 libclang-rt-16-dev llvm-16
    fonts-ipafont-gothic xvfb xauth xdotool xclip imagemagick libx11-dev
    vsftpd python3-pyftpdlib nginx libnginx-mod-http-echo tinyproxy curl lftp
    procps iproute2
    # The Windows builds (their tests build GoogleTest's source, from libgtest-dev, with these)
    g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix
    # The downloads (scripts/package.sh) and their checks; keys for Wine (scripts/test-windows.sh
    # installs Wine itself)
    nsis zip dpkg-dev binutils unzip file lintian desktop-file-utils locales x11-xserver-utils
    "$@"
)

missing=()
for package in "${PACKAGES[@]}"; do
    status=$(dpkg-query -W -f='${db:Status-Status}' "$package" 2> /dev/null || true)
    [[ "$status" == installed ]] || missing+=("$package")
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

echo "install-deps: installing ${missing[*]}" >&2
SUDO=()
[[ $EUID -eq 0 ]] || SUDO=(sudo)
export DEBIAN_FRONTEND=noninteractive
# A package named with an architecture (wine32:i386) needs that architecture enabled first.
for package in "${missing[@]}"; do
    architecture=${package#*:}
    if [[ $architecture != "$package" ]] && ! dpkg --print-foreign-architectures | grep -qx "$architecture"; then
        "${SUDO[@]}" dpkg --add-architecture "$architecture"
    fi
done
# A list that fails to download (a mirror in the middle of a sync) leaves the one from before:
# the install below says whether what it needs is there.
"${SUDO[@]}" apt-get update || echo "install-deps: apt-get update failed; installing from the package lists there are" >&2
# Without recommends libasio-dev does not pull in Boost. Service starts are blocked (no
# systemd, policy-rc.d); the test bed starts its servers itself. The machine's packages stay as
# they are: an install that would remove one fails (--no-remove), and so does one that would
# downgrade one (apt refuses a downgrade under -y unless told otherwise).
"${SUDO[@]}" apt-get install -y -o DPkg::Lock::Timeout=600 --no-install-recommends --no-remove "${PACKAGES[@]}"
