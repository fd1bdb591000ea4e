#!/usr/bin/env bash
# Sets up, builds, then runs every test tier of every tree through CTest. The Windows trees run
# under wine inside one virtual X display, so message boxes and windows can be tested.
# The last line counts test cases over all trees: the host registers one CTest entry per case,
# the Windows trees one entry per test program, whose cases are read from the XML report each
# program writes. A program that failed without writing its report counts as one failed case;
# one that could not run (32-bit programs where the kernel cannot run them) as one skipped case.
# Only the last line starts with "test:", so a reader of the log finds the count unambiguously.
set -uo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$here"

bash scripts/setup.sh || exit 1
bash scripts/build.sh || exit 1

export TAVRELO_WINEPREFIX=${TAVRELO_WINEPREFIX:-$here/build/wineprefix}
results=$here/build/test-results
rm -rf "$results"
mkdir -p "$results/win64" "$results/win32"
status=0
echo "== host"
ctest --test-dir build/host --output-on-failure -j2 --output-junit "$results/host.xml" || status=1
# Each fuzz target replays its corpus once (the campaigns are scripts/fuzz.sh); counted like the host.
echo "== fuzz"
# Its build is quiet unless it fails: then its last lines tell why.
{ [ -f build/fuzz/build.ninja ] || cmake --preset fuzz >/dev/null; } &&
    { cmake --build --preset fuzz -j2 >build/fuzz-build.log 2>&1 || { tail -n 40 build/fuzz-build.log; false; }; } &&
    mkdir -p build/fuzz/tmp && TMPDIR=$here/build/fuzz/tmp/ \
    ctest --test-dir build/fuzz --output-on-failure -j2 --output-junit "$results/fuzz.xml" || status=1
# The host tree again under AddressSanitizer and UndefinedBehaviorSanitizer, real-JVM tests included.
echo "== host-asan"
{ [ -f build/host-asan/build.ninja ] || cmake --preset host-asan >/dev/null; } &&
    cmake --build --preset host-asan -j2 &&
    ctest --test-dir build/host-asan --output-on-failure -j2 --output-junit "$results/host-asan.xml" || status=1
export TAVRELO_RESULTS=$results
# Where the kernel cannot run 32-bit code, wine32 cannot start anything: the win32 programs are
# not handed to CTest at all (a CTest run of nothing but skips reads as a run without tests).
win32_reason=
/usr/lib/wine/wine --version >/dev/null 2>&1 ||
    win32_reason="this machine's kernel cannot run 32-bit programs, so wine32 cannot start them"
export TAVRELO_WIN32_REASON=$win32_reason
xvfb-run -a -s "-screen 0 1280x1024x24" bash -c '
    status=0
    for tree in win64 win32; do
        [ "$tree" = win32 ] && [ -n "$TAVRELO_WIN32_REASON" ] && continue
        echo "== $tree (wine)"
        # GoogleTest writes <program>.xml into this directory (a Windows path: wine maps / to Z:).
        GTEST_OUTPUT="xml:Z:$(echo "$TAVRELO_RESULTS/$tree/" | tr / \\\\)" \
            ctest --test-dir build/$tree --output-on-failure --output-junit "$TAVRELO_RESULTS/$tree.xml" || status=1
    done
    WINEPREFIX=$TAVRELO_WINEPREFIX /usr/lib/wine/wineserver -k >/dev/null 2>&1
    exit $status' || status=1

passed=0 failed=0 skipped=0
# count <file> <pattern>: how many times the pattern occurs in the file.
count() { grep -o -- "$2" "$1" 2>/dev/null | wc -l; }
# attribute <name> <xml element text>: the value of one attribute.
attribute() { sed -n "s/.* $1=\"\([^\"]*\)\".*/\1/p" <<<"$2"; }
# The CTest entries of one tree, one line each: status (run, fail, notrun, disabled) and name.
entries() { grep -o '<testcase [^>]*>' "$1" | while read -r element; do
    echo "$(attribute status "$element") $(attribute name "$element")"; done; }

for tree in host host-asan fuzz win64 win32; do
    junit=$results/$tree.xml
    if [ "$tree" = win32 ] && [ -n "$win32_reason" ]; then
        while read -r name; do
            echo "$tree/$name: skipped, $win32_reason"
            skipped=$((skipped + 1))
        done < <(ctest --test-dir build/win32 -N | sed -n 's/^ *Test *#[0-9]*: *//p')
        continue
    fi
    if [ ! -s "$junit" ]; then
        echo "$tree: CTest wrote no results, counted as one failed case"
        failed=$((failed + 1))
        continue
    fi
    while read -r state name; do
        report=$results/$tree/$name.xml
        if [[ $tree == win* ]] && [ "$state" != notrun ] && [ -s "$report" ]; then
            cases=$(count "$report" '<testcase ')
            bad=$(attribute failures "$(grep -o -m1 '<testsuites [^>]*>' "$report")")
            bad=${bad:-0}
            left=$(($(count "$report" 'result="skipped"') + $(count "$report" 'result="suppressed"')))
            if [ "$state" = fail ] && [ "$bad" -eq 0 ]; then bad=1; fi # it failed after writing its report
            failed=$((failed + bad))
            skipped=$((skipped + left))
            passed=$((passed + cases - bad - left))
            continue
        fi
        if [[ $tree == win* ]]; then
            # A program that did not run, or ended without its report: why, on a line of its own.
            reason=$(grep -o "SKIPPED: [^<]*$name[^<]*" "$junit" | head -n1)
            case $state in
            notrun) echo "$tree/$name: skipped${reason:+ (${reason#SKIPPED: })}" ;;
            *) echo "$tree/$name: ended without its report: counted as one case" ;;
            esac
        fi
        case $state in
        run) passed=$((passed + 1)) ;;
        fail) failed=$((failed + 1)) ;;
        *) skipped=$((skipped + 1)) ;;
        esac
    done < <(entries "$junit")
done
[ $failed -eq 0 ] || status=1
echo "test: $passed passed, $failed failed, $skipped skipped"
exit $status
