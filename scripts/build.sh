#!/usr/bin/env bash
# Builds the three trees (host, win64, win32) and copies the deliverables to dist/.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$here"

for preset in host win64 win32; do
    [ -f "build/$preset/build.ninja" ] || cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset"
done

mkdir -p dist/windows dist/linux
cp build/win64/apps/Tavrelo_console.exe build/win64/apps/Tavrelo.exe build/win64/apps/Tavrelo.scr \
   build/win64/apps/Tavrelo.cpl dist/windows/
cp build/win32/apps/Tavpack.exe dist/windows/
cp build/host/apps/Tavrelo_console build/host/apps/tavpack dist/linux/

# Size target: the whole console launcher (service, companion, tray, splash, natives, session
# restore, service-control and administrator natives, screen-saver hand-over, decision trace),
# static and beside no DLL of its own, stays under 480 KiB.
size=$(stat -c %s dist/windows/Tavrelo_console.exe)
echo "size: Tavrelo_console.exe $((size / 1024)) KiB (target: at most 480 KiB)"
if [ "$size" -gt $((480 * 1024)) ]; then
    echo "size: Tavrelo_console.exe is over its 480 KiB target" >&2
    exit 1
fi

# The screen-saver and applet builds carry less than the console launcher: the same target holds.
# The resource tool (32-bit, static, without the stream library) stays under 400 KiB.
for build in Tavrelo.scr:480 Tavrelo.cpl:480 Tavpack.exe:400; do
    limit=${build#*:}
    build=${build%:*}
    size=$(stat -c %s "dist/windows/$build")
    echo "size: $build $((size / 1024)) KiB (target: at most $limit KiB)"
    if [ "$size" -gt $((limit * 1024)) ]; then
        echo "size: $build is over its $limit KiB target" >&2
        exit 1
    fi
done

# A launcher may be started from a folder such as Downloads beside a planted DLL: it imports only
# DLLs that Windows (Vista and later) always takes from the system directory, the KnownDLLs.
known_dlls=" kernel32.dll user32.dll gdi32.dll advapi32.dll shell32.dll ole32.dll oleaut32.dll msvcrt.dll comdlg32.dll "
for deliverable in dist/windows/*; do
    name=$(basename "$deliverable")
    imports=$(x86_64-w64-mingw32-objdump -p "$deliverable" | awk '/DLL Name:/ {print tolower($3)}' | tr '\n' ' ')
    echo "imports: $name: $imports"
    for dll in $imports; do
        case "$known_dlls" in
            *" $dll "*) ;;
            *) echo "imports: $name imports $dll, which is not a KnownDLL" >&2; exit 1 ;;
        esac
    done
done
