#!/usr/bin/env bash
# Gets the 32-bit Wine ready for the 32-bit Windows build's runs, where this machine can have it.
# Prints nothing when the 32-bit Wine runs here; otherwise one line, the reason those runs are
# skipped. Exits 0 either way, and non-zero only when it cannot tell.
#   scripts/wine32.sh
#
# Machines of one kind differ: some kernels cannot run 32-bit programs at all (no IA32
# emulation), and some package mirrors cannot supply wine32:i386 without removing or downgrading
# packages the machine has. The first is found out before anything is installed for i386; the
# second leaves the machine as it was (scripts/install-deps.sh never removes or downgrades).
set -euo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
SUDO=()
[[ $EUID -eq 0 ]] || SUDO=(sudo)

# A 32-bit Linux program of 96 bytes that only exits with status 42 (the exit system call through
# int 0x80): a kernel that runs it runs the 32-bit Wine loader too.
TINY_I386_PROGRAM=f0VMRgEBAQAAAAAAAAAAAAIAAwABAAAAVIAECDQAAAAAAAAAAAAAADQAIAABAAAAAAAAAAEAAAAAAAAAAIAECACABAhgAAAAYAAAAAUAAAAAEAAAuAEAAAC7KgAAAM2A

# kernel_refusal: nothing when the kernel runs 32-bit programs, else why not.
kernel_refusal() {
    local work status=0 message
    work=$(mktemp -d "${TMPDIR:-/tmp}/milte-i386.XXXXXX")
    base64 -d <<< "$TINY_I386_PROGRAM" > "$work/exit42"
    chmod +x "$work/exit42"
    message=$("$work/exit42" 2>&1) || status=$?
    rm -rf "$work"
    if [[ $status -eq 42 ]]; then return 0; fi
    if [[ $message == *"Exec format error"* ]]; then
        echo "this kernel cannot run 32-bit programs"
    else
        echo "a 32-bit test program did not run here (status $status${message:+: ${message##*: }})"
    fi
}

wine32_installed() { [[ $(dpkg-query -W -f='${db:Status-Status}' wine32:i386 2> /dev/null) == installed ]]; }

# The i386 architecture goes away again when an install attempt left nothing of it behind.
forget_unused_i386() {
    if dpkg --print-foreign-architectures | grep -qx i386 &&
        ! dpkg-query -W -f='${Architecture} ${db:Status-Status}\n' 2> /dev/null | grep -q '^i386 installed'; then
        "${SUDO[@]}" dpkg --remove-architecture i386 2> /dev/null || true
    fi
}

reason=$(kernel_refusal)
if [[ -n $reason ]]; then
    echo "$reason"
    exit 0
fi
if ! wine32_installed; then
    if ! "$ROOT/scripts/install-deps.sh" wine32:i386 >&2; then
        forget_unused_i386
        echo "wine32:i386 cannot be installed on this machine without removing or downgrading its packages (apt's output above says which)"
        exit 0
    fi
fi
if ! version=$(/usr/lib/wine/wine --version 2>&1); then
    echo "the 32-bit Wine does not start here (${version##*$'\n'})"
fi
