#!/usr/bin/env bash
# The store's file, written under Wine through hostdata.dll, read by Debian's
# native Berkeley DB tools: the history value is the 36-byte record encoding,
# the empty signature 01 00 00.
set -euo pipefail
probe=$1
work=$2
here=$(cd "$(dirname "$0")" && pwd)
rm -rf "$work" && mkdir -p "$work"
(cd "$(dirname "$probe")" && "$here/../scripts/wine-run" "$probe" "Z:$work/") | tr -d '\r'
db5.3_verify "$work/smsutilmsg.db"
history=$(db5.3_dump -s 10002mdata "$work/smsutilmsg.db")
signature=$(db5.3_dump -s 10002sdata "$work/smsutilmsg.db")
echo "$history"
expected=030600313030303100140032303036
expected+=2d30352d30312030383a33303a3030000300686900
grep -q '^type=hash$' <<<"$history" || { echo "FAIL: history is not a hash database"; exit 1; }
grep -q '^duplicates=1$' <<<"$history" || { echo "FAIL: history allows no duplicates"; exit 1; }
grep -q '^ 3130303031$' <<<"$history" || { echo "FAIL: key is not the peer 10001"; exit 1; }
grep -q "^ $expected\$" <<<"$history" || { echo "FAIL: value is not the 36-byte encoding"; exit 1; }
grep -q '^ 7369676e$' <<<"$signature" || { echo "FAIL: no key sign"; exit 1; }
grep -q '^ 010000$' <<<"$signature" || { echo "FAIL: empty signature is not 01 00 00"; exit 1; }
if grep -q '^duplicates=1$' <<<"$signature"; then echo "FAIL: signature database allows duplicates"; exit 1; fi
echo "PASS: the store's bytes as the native tools read them"
