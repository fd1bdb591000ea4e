#!/usr/bin/env bash
# The guide's portable examples, started through the Linux launcher as a user starts them: a
# second start of the viewer hands its arguments to the first and ends, and the note keeper gets
# its notes back in its restarted run. Argument: the examples' build directory.
set -uo pipefail
examples=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "examples: $*" >&2; exit 1; }
has_line() { grep -qxF -- "$2" "$1" || fail "$1 lacks the line \"$2\": $(cat "$1")"; }

viewer=$examples/single_instance/Viewer
"$viewer" first.txt >"$work/first" 2>&1 &
first=$!
for _ in $(seq 150); do grep -q "viewer: opened" "$work/first" && break; sleep 0.1; done
"$viewer" second.txt "two words" >"$work/second" 2>&1
second_status=$?
wait $first
first_status=$?
[ $second_status -eq 0 ] || fail "the second viewer ended with $second_status: $(cat "$work/second")"
[ $first_status -eq 1 ] || fail "the first viewer ended with $first_status: $(cat "$work/first")"
has_line "$work/first" "viewer: opened [first.txt]"
has_line "$work/first" "viewer: handed [second.txt, two words]"
! grep -q "viewer:" "$work/second" || fail "the second viewer ran main: $(cat "$work/second")"

export TMPDIR=$work
notes=$examples/session/Notes
"$notes" --save-as=Notes__7 milk "two eggs" >"$work/saving" 2>&1
[ $? -eq 1 ] || fail "the saving run failed: $(cat "$work/saving")"
has_line "$work/saving" "notes: [milk, two eggs]"
"$notes" __Tavrelo_restore=Notes__7 >"$work/restored" 2>&1
[ $? -eq 1 ] || fail "the restored run failed: $(cat "$work/restored")"
has_line "$work/restored" "notes: [milk, two eggs] (restored)"
has_line "$work/restored" "arguments: [--restored]"
[ ! -e "$work/Notes__7.restore" ] && [ ! -e "$work/Notes__7.restore_args" ] || fail "the restore left its files"
echo "examples: the viewer and the note keeper ran as the guide says"
