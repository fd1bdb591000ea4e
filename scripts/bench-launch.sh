#!/usr/bin/env bash
# Launch benchmark (not a test): starts the same hello-world class through the Linux launcher
# and through the JDK's own `java -cp`, in alternating pairs, and prints the medians of wall
# time and peak memory. The launcher pauses 500 ms before main by design; the target is at most
# 10 ms of wall time beyond that pause and at most 2 MiB of peak memory over `java`. A third
# series runs the launcher with its decision trace on (TAVRELO_DEBUG naming a file), for its cost.
# Usage: bash scripts/bench-launch.sh [pairs]   (default 21)
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$here"
pairs=${1:-21}
pause_ms=500

[ -f build/host/build.ninja ] || cmake --preset host >/dev/null
cmake --build --preset host --target Tavrelo_console launch_timer >/dev/null
timer=build/host/tests/launch_timer
jdk=$(readlink -f /usr/lib/jvm/default-java)
[ -n "${JAVA_HOME:-}" ] && jdk=$JAVA_HOME
java=$jdk/bin/java

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cat > "$work/Hello.java" <<'JAVA'
public class Hello {
    public static void main(String[] args) { System.out.println("Hello, world"); }
}
JAVA
"$jdk/bin/javac" --release 8 -nowarn -d "$work" "$work/Hello.java"
cp build/host/apps/Tavrelo_console "$work/Hello"

# Both must run the class before anything is timed.
[ "$("$work/Hello")" = "Hello, world" ] || { echo "bench: the launcher did not run Hello" >&2; exit 1; }
[ "$("$java" -cp "$work" Hello)" = "Hello, world" ] || { echo "bench: java did not run Hello" >&2; exit 1; }

: > "$work/launcher.txt"
: > "$work/java.txt"
: > "$work/traced.txt"
for ((i = 0; i < pairs; i++)); do
    # Alternate which one goes first, so neither always finds the caches warmer.
    if ((i % 2 == 0)); then
        (cd "$work" && JAVA_HOME=$jdk "$here/$timer" ./Hello) >> "$work/launcher.txt"
        "$timer" "$java" -cp "$work" Hello >> "$work/java.txt"
    else
        "$timer" "$java" -cp "$work" Hello >> "$work/java.txt"
        (cd "$work" && JAVA_HOME=$jdk "$here/$timer" ./Hello) >> "$work/launcher.txt"
    fi
    (cd "$work" && JAVA_HOME=$jdk TAVRELO_DEBUG="$work/trace.log" "$here/$timer" ./Hello 2>/dev/null) >> "$work/traced.txt"
done

median() { sort -n | awk '{ v[NR] = $1 } END { if (NR % 2) print v[(NR + 1) / 2]; else print (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
launcher_ms=$(awk '{print $1}' "$work/launcher.txt" | median)
java_ms=$(awk '{print $1}' "$work/java.txt" | median)
traced_ms=$(awk '{print $1}' "$work/traced.txt" | median)
launcher_kib=$(awk '{print $2}' "$work/launcher.txt" | median)
java_kib=$(awk '{print $2}' "$work/java.txt" | median)
bad=$(awk '$3 != 1' "$work/launcher.txt" | wc -l)

extra_ms=$(awk -v a="$launcher_ms" -v b="$java_ms" -v p="$pause_ms" 'BEGIN { printf "%.1f", a - b - p }')
extra_mib=$(awk -v a="$launcher_kib" -v b="$java_kib" 'BEGIN { printf "%.2f", (a - b) / 1024 }')
echo "bench: $pairs alternating pairs, runtime $jdk"
echo "bench: median wall time   launcher $launcher_ms ms, java $java_ms ms"
echo "bench: launcher beyond java and the ${pause_ms} ms pause: $extra_ms ms (target: at most 10 ms)"
echo "bench: with the trace on (TAVRELO_DEBUG=<file>): $traced_ms ms, $(awk -v a="$traced_ms" -v b="$launcher_ms" 'BEGIN { printf "%.1f", a - b }') ms more than off ($(grep -c . "$work/trace.log") lines written)"
echo "bench: median peak memory launcher $launcher_kib KiB, java $java_kib KiB"
echo "bench: launcher over java: $extra_mib MiB (target: at most 2 MiB)"
[ "$bad" -eq 0 ] || echo "bench: $bad launcher runs did not end with status 1" >&2
awk -v e="$extra_ms" -v m="$extra_mib" 'BEGIN { exit !(e <= 10 && m <= 2) }' && echo "bench: within target" ||
    { echo "bench: OUTSIDE target"; exit 1; }
