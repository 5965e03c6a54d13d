#!/usr/bin/env bash
# Installs what the build, the tests and the test bed need (Debian 12, as root). Does nothing
# when all of it is present already, so it is cheap to run before every test run.
set -euo pipefail

PACKAGES=(
    cmake ninja-build g++ qt6-base-dev libasio-dev libgtest-dev libgmock-dev
    fonts-ipafont-gothic xvfb xauth xdotool imagemagick
    vsftpd python3-pyftpdlib nginx libnginx-mod-http-echo tinyproxy curl lftp
    procps iproute2
    # The downloads and their checks (scripts/test-windows.sh installs MinGW-w64 and Wine)
    locales nsis zip unzip dpkg-dev binutils
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
"${SUDO[@]}" apt-get update
# Without recommends libasio-dev does not pull in Boost. Service starts are blocked (no
# systemd, policy-rc.d); the test bed starts its servers itself.
"${SUDO[@]}" apt-get install -y --no-install-recommends "${PACKAGES[@]}"
