#!/usr/bin/env bash
# Idle benchmark (not a test): what an application that sits in the tray costs while nobody
# touches it. Under wine (stand-in runtime, its call log off) it measures the launcher's CPU over
# 60 s from /proc, in % of one core: tray only, tray with system events, and a bare program that
# reads the network adapters once a second as the event window does (wine's own cost of that
# poll). On the host it measures one liveness test on the real JVM, small heap and 200 MB live.
# Targets: tray only at most 0.2%; with events at most 0.2% above the bare program.
# Usage: bash scripts/bench-idle.sh [seconds]   (default 60)
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$here"
seconds=${1:-60}

for preset in host win64; do
    [ -f "build/$preset/build.ninja" ] || cmake --preset "$preset" >/dev/null
done
cmake --build --preset host --target liveness_cost >/dev/null
cmake --build --preset win64 --target Tavrelo_console adapter_poll standin_tests >/dev/null
export WINEPREFIX=${TAVRELO_WINEPREFIX:-$here/build/wineprefix} WINEDEBUG=-all TAVRELO_STANDIN_LOG=off
export WINEDLLOVERRIDES="mscoree,mshtml="
ticks=$(getconf CLK_TCK)

work=$(mktemp -d)
trap 'WINEPREFIX=$WINEPREFIX /usr/lib/wine/wineserver -k >/dev/null 2>&1 || true; rm -rf "$work"' EXIT

# cpu <name as wine shows it in the process list>: % of one core over the measured seconds,
# after five seconds of start-up.
cpu() {
    local pid=""
    for _ in $(seq 50); do
        pid=$(pgrep -f "^[^ ]*$1" | head -n1 || true)
        [ -n "$pid" ] && break
        sleep 0.2
    done
    [ -n "$pid" ] || { echo "bench: $1 did not start" >&2; return 1; }
    sleep 5
    local before after
    before=$(awk '{print $14 + $15}' "/proc/$pid/stat")
    sleep "$seconds"
    after=$(awk '{print $14 + $15}' "/proc/$pid/stat")
    awk -v d=$((after - before)) -v t="$ticks" -v s="$seconds" 'BEGIN { printf "%.3f", d / t / s * 100 }'
}

# app <directory> <scenario>: an application directory with the console launcher and the
# stand-in runtime whose main sleeps beyond the measurement.
app() {
    mkdir -p "$1"
    cp -r build/win64/tests/standin/jre/jre "$1/jre"
    cp build/win64/apps/Tavrelo_console.exe "$1/Idle_console.exe"
    printf 'MainClass=demo.App\r\n' > "$1/Idle.properties"
    printf '%s\n' "$2" > "$1/jre/standin.scenario"
}
tray='class demo.App
  method main ([Ljava/lang/String;)V
    sleep '$(((seconds + 15) * 1000))'
  method taskGetInfo ()[Ljava/lang/String;
    return ["Idle"]
  method taskGetMenu (ZI)[[Ljava/lang/String;
    return [["1" "Quit"]]'
events="$tray"'
  method notifyEvent (IIILjava/lang/String;[I[B)I
    return 0'
app "$work/tray" "$tray"
app "$work/events" "$events"

measure() { # <directory>: the launcher's CPU, the program run inside a virtual display
    (cd "$1" && xvfb-run -a -s "-screen 0 1280x1024x24" /usr/lib/wine/wine64 Idle_console.exe >/dev/null 2>&1 &)
    cpu "Idle_console.exe"
    WINEPREFIX=$WINEPREFIX /usr/lib/wine/wineserver -k >/dev/null 2>&1 || true
    sleep 2
}
tray_cpu=$(measure "$work/tray")
events_cpu=$(measure "$work/events")
(/usr/lib/wine/wine64 build/win64/tests/adapter_poll.exe $((seconds + 15)) >/dev/null 2>&1 &)
bare_cpu=$(cpu "adapter_poll.exe")
WINEPREFIX=$WINEPREFIX /usr/lib/wine/wineserver -k >/dev/null 2>&1 || true

echo "bench: ${seconds} s idle under wine, CPU in % of one core"
echo "bench: tray only             $tray_cpu % (target: at most 0.2 %)"
echo "bench: tray and events       $events_cpu % (target: at most 0.2 % above the bare poll)"
echo "bench: bare adapter poll     $bare_cpu %"
jvm=$(readlink -f /usr/lib/jvm/default-java)/lib/server/libjvm.so
build/host/tests/liveness_cost "$jvm" 0
build/host/tests/liveness_cost "$jvm" 200
