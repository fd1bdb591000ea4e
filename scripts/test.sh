#!/usr/bin/env bash
# Sets up, builds, then runs every test tier of every tree through CTest. The Windows trees run
# under wine inside one virtual X display, so message boxes and windows can be tested.
set -uo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$here"

bash scripts/setup.sh || exit 1
bash scripts/build.sh || exit 1

export TAVRELO_WINEPREFIX=${TAVRELO_WINEPREFIX:-$here/build/wineprefix}
status=0
echo "== host"
ctest --test-dir build/host --output-on-failure -j2 || status=1
xvfb-run -a -s "-screen 0 1280x1024x24" bash -c '
    status=0
    for tree in win64 win32; do
        echo "== $tree (wine)"
        ctest --test-dir build/$tree --output-on-failure || status=1
    done
    WINEPREFIX=$TAVRELO_WINEPREFIX /usr/lib/wine/wineserver -k >/dev/null 2>&1
    exit $status' || status=1
if [ $status -eq 0 ]; then echo "test: all trees passed"; else echo "test: FAILURES (see above)"; fi
exit $status
