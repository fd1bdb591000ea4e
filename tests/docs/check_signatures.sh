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
for file in $(find "$root"/{applet,bridge,desktop,ipc,launcher,natives,screensaver,service} -name '*.cpp'); do
    tr '\n' ' ' <"$file" | awk -f "$here/bindings.awk"
done | sort -u >"$work/code"

# The reference: every `static [native] Type name(Type a, ...)` in docs/, as a JNI signature.
grep -ohE '`static (native )?[][A-Za-z0-9_.]+ [A-Za-z_]+\([^)`]*\)`' "$root"/docs/*.md | tr -d '`' | awk -f "$here/reference.awk" | sort -u >"$work/reference"

status=0
[ -s "$work/code" ] && [ -s "$work/reference" ] || { echo "signatures: nothing found" >&2; exit 1; }
while read -r line; do
    grep -qF -- "$line " "$work/code" || { echo "signatures: the reference declares $line, the launcher binds no such method" >&2; status=1; }
done <"$work/reference"
while read -r kind name signature key; do
    documented=0
    while read -r k n s _; do
        grep -qxF -- "$k $n $s" "$work/reference" && { documented=1; break; }
    done < <(awk -v key="$key" '$4 == key' "$work/code")
    [ $documented -eq 1 ] || { echo "signatures: the launcher binds $kind $name $signature, the reference lacks it" >&2; status=1; }
done <"$work/code"
echo "signatures: $(wc -l <"$work/reference") declarations of the reference checked against $(wc -l <"$work/code") bindings"
exit $status
