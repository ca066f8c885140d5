#!/usr/bin/env bash
# Round trip of the content tool: create an archive from a folder, list, verify, extract
# every resource and compare, replace, delete, compact and verify again.
# usage: roundtrip.sh <qodtool>
set -euo pipefail
tool="$1"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/src/sub/deeper"
printf 'hello' > "$work/src/a.txt"
head -c 20000 /dev/urandom > "$work/src/sub/b.bin"
printf '' > "$work/src/sub/deeper/empty.dat"
"$tool" create "$work/g.qod" "$work/src" >/dev/null
"$tool" list "$work/g.qod" --names "$work/src" | grep -q 'sub\\b.bin'
"$tool" verify "$work/g.qod" | grep -q 'archive is sound'
"$tool" extract "$work/g.qod" --all "$work/out" >/dev/null
for f in a.txt sub/b.bin sub/deeper/empty.dat; do
  "$tool" extract "$work/g.qod" "$f" "$work/one" && cmp -s "$work/one" "$work/src/$f"
done
[ "$(ls "$work/out" | wc -l)" = 3 ]
"$tool" replace "$work/g.qod" a.txt "$work/src/sub/b.bin"
"$tool" delete "$work/g.qod" sub/b.bin
status=0; "$tool" delete "$work/g.qod" sub/b.bin 2>/dev/null || status=$?
[ "$status" = 1 ]
status=0; "$tool" nonsense "$work/g.qod" 2>/dev/null || status=$?
[ "$status" = 2 ]
status=0; "$tool" verify "$work/none.qod" >/dev/null 2>&1 || status=$?
[ "$status" = 3 ]
"$tool" compact "$work/g.qod" >/dev/null
"$tool" verify "$work/g.qod" | grep -q 'free: 0 regions, 0 bytes; lost: 0 bytes'
"$tool" extract "$work/g.qod" a.txt "$work/one" && cmp -s "$work/one" "$work/src/sub/b.bin"
echo "qodtool round trip passed"
