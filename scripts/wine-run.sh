#!/usr/bin/env bash
# Runs a Windows program under Wine in this very process, through the loader of the program's
# width: /usr/lib/wine/wine64 for a 64-bit program, /usr/lib/wine/wine for a 32-bit one. With the
# 32-bit Wine installed, plain `wine` starts through the 32-bit loader: it hands a 64-bit program
# on to a process of its own (a caller that watches the process it started, its windows, its exit
# code, loses the program), and on a kernel without 32-bit support it fails outright. Wine's own
# tools (reg, cmd, wineboot, ...), named without a path, run through the 64-bit loader.
#   scripts/wine-run.sh PROGRAM.exe [arguments...]
#   scripts/wine-run.sh reg query 'HKCU\Software\...'
set -euo pipefail

program=$1
if [[ ! -f $program && $program != */* ]]; then
    loader=/usr/lib/wine/wine64
else
    # The PE header starts where the DOS header's last field points; its machine type follows the
    # four-byte signature.
    header=$(od -An -t u4 -j 60 -N 4 "$program" | tr -d ' ')
    machine=$(od -An -t x2 -j $((header + 4)) -N 2 "$program" | tr -d ' ')
    case $machine in
        8664) loader=/usr/lib/wine/wine64 ;;
        014c) loader=/usr/lib/wine/wine ;;
        *) echo "wine-run: $program is not a 32- or 64-bit Windows program" >&2; exit 2 ;;
    esac
fi
# As the wine command does: Wine's notes on what it has not implemented stay quiet.
export WINEDEBUG=${WINEDEBUG-fixme-all}
exec "$loader" "$@"
