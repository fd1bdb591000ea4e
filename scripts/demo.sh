#!/usr/bin/env bash
# Sets up what the Linux build needs, builds the Linux launcher and the demo application, and
# runs the demo through the launcher: the JVM is loaded into the launcher's own process and the
# application's main is called. Extra arguments are passed on to the demo.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$here"

bash scripts/setup.sh --host
[ -f build/host/build.ninja ] || cmake --preset host >/dev/null
cmake --build --preset host --target demo >/dev/null

app=build/host/apps/demo
echo "demo: $app holds the launcher (named Demo), Demo.jar and Demo.properties"
echo "demo: running $app/Demo \"hello world\" \"*.txt\" $*"
echo
set +e
"$app/Demo" "hello world" "*.txt" "$@"
status=$?
set -e
echo
echo "demo: the launcher ended with status $status (1: the application's main was called)"
[ "$status" -eq 1 ]
