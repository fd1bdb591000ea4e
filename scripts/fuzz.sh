#!/usr/bin/env bash
# Builds the fuzz tree (clang, libFuzzer, ASan + UBSan) and runs every fuzz target for the given
# seconds (default 60), or until it has executed max-runs inputs when that is given first,
# starting from its committed corpus. Target names after the numbers run only those targets. One line per target: runs, executions
# per second, corpus size and findings (inputs that crashed, hung or broke an invariant, kept in
# build/fuzz/findings/); the last line sums them up. Exit status non-zero on any finding.
set -uo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$here"
seconds=${1:-60}
max_runs=${2:--1}
case $seconds/$max_runs in
    '' | *[!0-9/]*/* | */*[!0-9-]* | /* | */)
        echo "usage: scripts/fuzz.sh [seconds-per-target [max-runs-per-target [target...]]]" >&2; exit 2 ;;
esac
shift $(($# < 2 ? $# : 2))
only=" $* "

bash scripts/setup.sh --fuzz || exit 1
[ -f build/fuzz/build.ninja ] || cmake --preset fuzz >/dev/null || exit 1
cmake --build --preset fuzz -j2 >/dev/null || { echo "fuzz: the fuzz tree does not build" >&2; exit 1; }

out=build/fuzz/campaign
mkdir -p "$out/findings" "$out/tmp"
targets=0 runs=0 findings=0
for program in build/fuzz/tests/fuzz/*_fuzz; do
    name=$(basename "$program" _fuzz)
    [ "$only" = "  " ] || [[ "$only" == *" $name "* ]] || continue
    corpus=$out/corpus/$name
    mkdir -p "$corpus"
    before=$(ls "$out/findings" | grep -c "^$name-")
    # New inputs go to the working corpus; the committed seeds are read, never written.
    TMPDIR=$here/$out/tmp/ nice "$program" -max_total_time="$seconds" -runs="$max_runs" -timeout=10 -print_final_stats=1 \
        -artifact_prefix="$out/findings/$name-" "$corpus" "tests/fuzz/corpus/$name" >"$out/$name.log" 2>&1
    status=$?
    found=$(($(ls "$out/findings" | grep -c "^$name-") - before))
    [ $status -ne 0 ] && [ $found -eq 0 ] && found=1
    executed=$(sed -n 's/^stat::number_of_executed_units: *//p' "$out/$name.log" | tail -n1)
    speed=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$out/$name.log" | tail -n1)
    size=$(grep -o 'corp: [0-9]*' "$out/$name.log" | tail -n1 | grep -o '[0-9]*')
    echo "$name: ${executed:-0} runs, ${speed:-0} exec/s, corpus ${size:-0}, $found findings"
    [ $found -eq 0 ] || echo "  see $out/$name.log and $out/findings/$name-*"
    targets=$((targets + 1)) runs=$((runs + ${executed:-0})) findings=$((findings + found))
done
echo "fuzz: $targets targets, $runs runs, $findings findings"
[ $findings -eq 0 ]
