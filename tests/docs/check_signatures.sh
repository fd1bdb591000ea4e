#!/usr/bin/env bash
# The Java contract reference against the launcher's binding tables: every method the reference
# declares is bound under that name with that signature (as a native exactly where the launcher
# registers natives), and every method the launcher binds is in the reference.
# Argument: the source tree.
set -euo pipefail
root=$1
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The code: "kind name signature key" per binding; a native registered under several prefixes
# gives one line per prefix with one key, and the reference needs only one of them.
find "$root"/{applet,bridge,desktop,ipc,launcher,natives,screensaver,service} -name '*.cpp' -print0 |
    xargs -0 awk -f "$here/bindings.awk" | sort -u >"$work/code"

# The reference: every `static [native] Type name(Type a, ...)` in docs/, as a JNI signature.
grep -ohE '`static (native )?[][A-Za-z0-9_.]+ [A-Za-z_]+\([^)`]*\)`' "$root"/docs/*.md | tr -d '`' | awk -f "$here/reference.awk" | sort -u >"$work/reference"

[ -s "$work/code" ] && [ -s "$work/reference" ] || { echo "signatures: nothing found" >&2; exit 1; }
awk '
FILENAME == ARGV[1] { reference[$0] = 1; next }
{
    line = $1 " " $2 " " $3
    bound[line] = 1
    if (line in reference) documented[$4] = 1
    if (!($4 in first)) first[$4] = line
}
END {
    for (line in reference)
        if (!(line in bound)) { print "signatures: the reference declares " line ", the launcher binds no such method"; bad = 1 }
    for (key in first)
        if (!(key in documented)) { print "signatures: the launcher binds " first[key] ", the reference lacks it"; bad = 1 }
    exit bad
}' "$work/reference" "$work/code" >&2 || exit 1
echo "signatures: $(wc -l <"$work/reference") declarations of the reference checked against $(wc -l <"$work/code") bindings"
