#!/usr/bin/env bash
# Runs a Windows program under wine in the project's own prefix (CTest's crosscompiling
# emulator for the Windows trees). 64-bit programs run under the 64-bit loader; 32-bit ones
# need a kernel that runs 32-bit code: where it cannot, the program is reported as skipped
# (exit 77) instead of failing obscurely.
set -u
here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
export WINEPREFIX=${TAVRELO_WINEPREFIX:-$here/build/wineprefix}
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-"mscoree,mshtml="}
export WINEARCH=win64

program=$1
loader=/usr/lib/wine/wine64
[ -x "$loader" ] || loader=$(command -v wine64 || command -v wine)
# The PE machine field: 0x14c is i386.
machine=$(od -An -tx2 -j "$(( $(od -An -tu4 -j 60 -N4 "$program" | tr -d ' ') + 4 ))" -N2 "$program" 2>/dev/null | tr -d ' ')
if [ "$machine" = "014c" ]; then
    loader=/usr/lib/wine/wine
    if ! "$loader" --version >/dev/null 2>&1; then
        echo "SKIPPED: this machine's kernel cannot run 32-bit programs, so wine32 cannot start $(basename "$program")" >&2
        exit 77
    fi
fi
exec "$loader" "$@"
