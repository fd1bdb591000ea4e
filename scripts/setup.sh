#!/usr/bin/env bash
# Installs what building and testing need (Debian packages) and creates the wine prefix under
# build/. Safe to run again: it only does what is missing. With --host, only what the Linux
# build needs (no Windows compilers, no wine); with --fuzz, that and clang with libFuzzer.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
host_only=0 fuzz=0
[ "${1:-}" = "--host" ] && host_only=1
[ "${1:-}" = "--fuzz" ] && host_only=1 fuzz=1

packages=(cmake ninja-build g++ default-jdk-headless googletest libgtest-dev)
[ $host_only -eq 1 ] || packages+=(g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix binutils-mingw-w64
                                   wine wine64 wine32:i386 xvfb xauth)
# The fuzz tree: clang, whose libFuzzer and sanitizer runtimes come in libclang-rt-14-dev.
if [ $host_only -eq 0 ] || [ $fuzz -eq 1 ]; then packages+=(clang libclang-rt-14-dev); fi
# The sanitized host tree: the C library's symbols, without which the leak check cannot name
# the C library's own allocations that its suppressions leave out.
[ $host_only -eq 1 ] || packages+=(libc6-dbg)

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "setup: installing ${missing[*]}"
    sudo=""; [ "$(id -u)" -eq 0 ] || sudo=sudo
    if [ $host_only -eq 0 ] && ! dpkg --print-foreign-architectures | grep -qx i386; then
        $sudo dpkg --add-architecture i386
    fi
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

if [ $host_only -eq 1 ]; then
    echo "setup: ready (host)"
    exit 0
fi

prefix=${TAVRELO_WINEPREFIX:-$here/build/wineprefix}
if [ ! -f "$prefix/system.reg" ]; then
    echo "setup: creating the wine prefix in $prefix"
    mkdir -p "$(dirname "$prefix")"
    WINEPREFIX=$prefix WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" \
        /usr/lib/wine/wine64 wineboot -i >/dev/null 2>&1 || true
    WINEPREFIX=$prefix /usr/lib/wine/wineserver -w || true
fi
if [ ! -f "$prefix/system.reg" ]; then
    echo "setup: the wine prefix could not be created in $prefix" >&2
    exit 1
fi
echo "setup: ready"
