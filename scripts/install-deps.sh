#!/usr/bin/env bash
# Installs what the build, the tests and the test bed need (Debian 12, as root), clang-16 with the
# sanitizer and libFuzzer runtimes and the symbolizer included. Does nothing when all of it is
# present already, so it is cheap to run before every test run.
#   scripts/install-deps.sh [more packages...]
set -euo pipefail

PACKAGES=(
    cmake ninja-build g++ qt6-base-dev libasio-dev libgtest-dev libgmock-dev
    clang-16 libclang-rt-16-dev llvm-16
    fonts-ipafont-gothic xvfb xauth xdotool imagemagick libx11-dev
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
# systemd, policy-rc.d); the test bed starts its servers itself.
if "${SUDO[@]}" apt-get install -y --no-install-recommends "${PACKAGES[@]}"; then exit 0; fi

# A library installed for two architectures must have the same version in both. When the lists
# of a foreign architecture lag behind (a security list that failed to download), the newer
# version of such a library installed for amd64 has no twin: the amd64 one goes back to the
# version both architectures have, for the libraries the foreign packages need, and the install
# is tried once more.
foreign=()
for package in "${missing[@]}"; do [[ $package == *:* ]] && foreign+=("$package"); done
[[ ${#foreign[@]} -gt 0 ]] || exit 1
needed=$(apt-cache depends --recurse --no-recommends --no-suggests --no-conflicts --no-breaks --no-replaces \
    --no-enhances "${foreign[@]}" 2> /dev/null | sed -n 's/^\([a-z0-9][^ <>]*\):\(i386\|armhf\|arm64\)$/\1 \2/p' | sort -u)
pins=()
while read -r name architecture; do
    installed=$(dpkg-query -W -f='${db:Status-Status} ${Version} ${Multi-Arch}' "$name:amd64" 2> /dev/null || true)
    read -r status version multiarch <<< "$installed"
    [[ $status == installed && $multiarch == same ]] || continue
    twin=$(apt-cache madison "$name:$architecture" | awk -F'|' '{gsub(/ /, "", $2); print $2; exit}')
    if [[ -n $twin ]] && dpkg --compare-versions "$version" gt "$twin"; then
        pins+=("$name:amd64=$twin" "$name:$architecture=$twin")
    fi
done <<< "$needed"
[[ ${#pins[@]} -gt 0 ]] || exit 1
echo "install-deps: installing with the versions both architectures have: ${pins[*]}" >&2
"${SUDO[@]}" apt-get install -y --no-install-recommends --allow-downgrades "${PACKAGES[@]}" "${pins[@]}"
