#!/usr/bin/env bash
# Load benchmark (not a test): hostile peers on a real pipe listener while a legitimate sender
# keeps handing it objects. On the host (Unix sockets, Linux build) and under wine (named pipes,
# win64 build), 1,000 connections from 16 clients at once mix garbage, oversized lengths,
# truncated and overlong payloads, huge messages, clients that never write and clients that
# stop in the middle of a frame; first, silent connections fill the listener's limit of
# connection threads and go beyond it. Each run prints the limit's outcome, the longest a
# stalled client waited to be dropped, the time the connection threads took to end after the
# last client, the legitimate objects sent and delivered, and the thread, handle and memory
# counts before and after; its verdict line says what did not hold.
# Usage: bash scripts/load-pipes.sh [connections [clients]]   (default 1000 16)
set -uo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$here"
connections=${1:-1000}
clients=${2:-16}

for preset in host win64; do
    [ -f "build/$preset/build.ninja" ] || cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset" -j2 --target pipe_load >/dev/null || exit 1
done

status=0
echo "== host (Unix sockets)"
build/host/tests/pipe_load "$connections" "$clients" || status=1
echo "== win64 under wine (named pipes)"
bash scripts/wine-run.sh build/win64/tests/pipe_load.exe "$connections" "$clients" || status=1
exit $status
