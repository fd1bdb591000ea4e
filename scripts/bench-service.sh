#!/usr/bin/env bash
# Service benchmark (not a test): cycles of install+start, stop and delete of a service under
# wine's service manager, with the real launchers and the stand-in runtime. Prints the median
# and worst time of each step, the failures, hangs and leftovers (a service or service process
# still there at the end), and the service process's kernel handles at its stop in the first
# and the last cycle (a leak grows between them).
# Usage: bash scripts/bench-service.sh [cycles]   (default 100)
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$here"
cycles=${1:-100}

[ -f build/win64/build.ninja ] || cmake --preset win64 >/dev/null
cmake --build --preset win64 --target service_cycles >/dev/null

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
name=TavBenchSvc
cp -r build/win64/tests/standin/jre/jre "$work/jre"
cp build/win64/apps/Tavrelo_console.exe "$work/${name}_console.exe"
cp build/win64/apps/Tavrelo.exe "$work/${name}.exe"
printf 'MainClass=demo.App\r\n' > "$work/${name}.properties"
cat > "$work/jre/standin.scenario" <<'SCENARIO'
class demo.App
  method serviceGetInfo ()[Ljava/lang/String;
    return ["Tavrelo Bench" "Benchmark service" "false" "true"]
  method serviceInit ()Z
    return true
  method serviceControl_Stop ()Z
    handles
    return true
SCENARIO

TAVRELO_WINEPREFIX=${TAVRELO_WINEPREFIX:-$here/build/wineprefix} \
    xvfb-run -a -s "-screen 0 1280x1024x24" bash scripts/wine-run.sh \
    build/win64/tests/standin/service_cycles.exe "Z:${work//\//\\}" "$name" "$cycles"
