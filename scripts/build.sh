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
cp build/win64/apps/Tavrelo_console.exe build/win64/apps/Tavrelo.exe dist/windows/
cp build/host/apps/Tavrelo_console dist/linux/

# Size target: the console launcher stays small and needs no DLL but the system's own.
size=$(stat -c %s dist/windows/Tavrelo_console.exe)
echo "size: Tavrelo_console.exe $((size / 1024)) KiB (target: at most 300 KiB)"
imports=$(x86_64-w64-mingw32-objdump -p dist/windows/Tavrelo_console.exe | awk '/DLL Name:/ {print $3}' | tr '\n' ' ')
echo "size: Tavrelo_console.exe imports: $imports"
system_dlls=" KERNEL32.dll USER32.dll ADVAPI32.dll SHELL32.dll GDI32.dll ole32.dll OLEAUT32.dll VERSION.dll msvcrt.dll COMDLG32.dll MSIMG32.dll "
for dll in $imports; do
    case "$system_dlls" in *" $dll "*) ;; *) echo "size: $dll is not a system DLL" >&2; exit 1 ;; esac
done
if [ "$size" -gt $((300 * 1024)) ]; then
    echo "size: Tavrelo_console.exe is over its 300 KiB target" >&2
    exit 1
fi
