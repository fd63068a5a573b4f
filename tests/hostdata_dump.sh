#!/usr/bin/env bash
# A database written under Wine through hostdata.dll is an ordinary Berkeley
# DB file: Debian's native tools verify and dump it.
set -euo pipefail
probe=$1
work=$2
here=$(cd "$(dirname "$0")" && pwd)
rm -rf "$work" && mkdir -p "$work"
(cd "$(dirname "$probe")" && "$here/../scripts/wine-run" "$probe" "Z:$work/probe.db") | tr -d '\r'
db5.3_verify "$work/probe.db"
dump=$(db5.3_dump -p -s probe "$work/probe.db")
echo "$dump"
grep -q '^duplicates=1$' <<<"$dump" || { echo "FAIL: not a database with duplicates"; exit 1; }
grep -q '^type=hash$' <<<"$dump" || { echo "FAIL: not a hash database"; exit 1; }
[ "$(grep -c '^ peer$' <<<"$dump")" = 2 ] || { echo "FAIL: expected two values under peer"; exit 1; }
grep -q '^ first$' <<<"$dump" && grep -q '^ second$' <<<"$dump" || { echo "FAIL: values missing"; exit 1; }
echo "PASS: hostdata.dll wrote a hash database with duplicates that db5.3_dump reads"
