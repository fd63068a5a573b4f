#!/usr/bin/env bash
# The receive test's burst of received messages while the user opens and
# closes view dialogs, judged by Debian's native Berkeley DB tools: the history
# and the unread queue hold every text sent, once, under its sender.
#   receive_burst.sh RECEIVE_TEST WORKDIR
set -uo pipefail
program=$1
work=$2
here=$(cd "$(dirname "$0")" && pwd)
rm -rf "$work" && mkdir -p "$work"
account=10001

(cd "$(dirname "$program")" && SMSUTIL_BURST_DIR="Z:${work//\//\\}" "$here/../scripts/wine-run" \
   "$(basename "$program")" --gtest_color=no --gtest_filter='ReceiveTest.ABurst*') | tr -d '\r' > "$work/test.out"
status=${PIPESTATUS[0]}
cat "$work/test.out"
[ "$status" = 0 ] || { echo "FAIL: the burst did not run to its end (status $status)"; exit 1; }
grep -q '^\[  PASSED  \] 1 test' "$work/test.out" || { echo "FAIL: the burst case did not run"; exit 1; }
db=$work/smsutilmsg.db
[ -s "$db" ] && [ -s "$work/sent.txt" ] || { echo "FAIL: the burst left no database or no list of what it sent"; exit 1; }
[ "$(wc -l < "$work/sent.txt")" = 1000 ] || { echo "FAIL: the burst sent $(wc -l < "$work/sent.txt") messages, not 1000"; exit 1; }
db5.3_verify "$db" || { echo "FAIL: db5.3_verify rejects the file"; exit 1; }

# Each value as "where|kind|key|peer|text", from the dump's hex: a kind byte,
# then peer, time and text, each a 16-bit little-endian count (with the NUL)
# and the bytes with their NUL. A value that does not parse so is "bad".
decode() { # where
  LC_ALL=C awk -v where="$1" '
    function byte(i) { return (index(hex, substr(v, i, 1)) - 1) * 16 + index(hex, substr(v, i + 1, 1)) - 1 }
    function chars(from, n,   s, k) { s = ""; for (k = 0; k < n; k++) s = s sprintf("%c", byte(from + 2 * k)); return s }
    function field(   n, s) {
      if (pos + 3 > length(v)) { ok = 0; return "" }
      n = byte(pos) + 256 * byte(pos + 2); pos += 4
      if (n < 1 || pos + 2 * n - 1 > length(v) || byte(pos + 2 * (n - 1)) != 0) { ok = 0; return "" }
      s = chars(pos, n - 1); pos += 2 * n
      return s
    }
    BEGIN { hex = "0123456789abcdef" }
    /^HEADER=END/ { data = 1; next }
    /^DATA=END/ { data = 0; next }
    data {
      sub(/^ /, "")
      if (!haskey) { v = $0; key = chars(1, length(v) / 2); haskey = 1; next }
      haskey = 0; v = $0; ok = 1; pos = 3
      kind = byte(1); peer = field(); time = field(); text = field()
      if (pos != length(v) + 1) ok = 0
      if (ok) print where "|" kind "|" key "|" peer "|" text
      else print where "|bad|" key "|" v
    }'
}
databases=$(db5.3_dump -l "$db")
echo "databases in the file:" $databases
: > "$work/records.txt"
for where in mdata umdata; do
  if grep -qx "$account$where" <<<"$databases"; then
    db5.3_dump -s "$account$where" "$db" | decode "$where" >> "$work/records.txt"
  fi
done

fail=0
report() { # description, count, file of examples
  if [ "$2" = 0 ]; then echo "PASS: $1"; else echo "FAIL: $1: $2, for instance:"; head -5 "$3"; fail=1; fi
}
cut -d'|' -f1,2,3,4 "$work/records.txt" | grep -v '^[^|]*|3|\([^|]*\)|\1$' > "$work/odd.txt"
report "every stored value is a received message filed under its sender (kind 3, key = peer)" \
  "$(wc -l < "$work/odd.txt")" "$work/odd.txt"
cut -d'|' -f4,5 "$work/records.txt" | sort > "$work/stored.txt"
echo "sent $(wc -l < "$work/sent.txt"); in the history $(grep -c '^mdata|' "$work/records.txt");" \
     "in the queue $(grep -c '^umdata|' "$work/records.txt")"
# Missing, doubled and unexpected texts are each a line of the difference.
diff <(sort "$work/sent.txt") "$work/stored.txt" | grep '^[<>]' > "$work/differ.txt"
report "the history and the queue together hold every message sent, each once, and nothing else" \
  "$(wc -l < "$work/differ.txt")" "$work/differ.txt"
exit $fail
