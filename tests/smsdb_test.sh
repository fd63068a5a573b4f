#!/usr/bin/env bash
# The history tool, built for Windows (run under Wine) and natively, on a file
# the store wrote under Wine: what it prints and exports, its errors, and that
# reading never changes the file or adds one beside it.
#   smsdb_test.sh STORE_PROBE SMSDB_EXE NATIVE_SMSDB WORKDIR
set -uo pipefail
probe=$1 windows=$2 native=$3 work=$4
here=$(cd "$(dirname "$0")" && pwd)
rm -rf "$work" && mkdir -p "$work/data"
fail=0
(cd "$(dirname "$probe")" && "$here/../scripts/wine-run" "$probe" "Z:$work/data/") >/dev/null 2>&1
db=$work/data/smsutilmsg.db
[ -f "$db" ] || { echo "FAIL: the store wrote no file"; exit 1; }

check() { # description, got, expected
  if [ "$2" == "$3" ]; then echo "PASS: $1"; else
    echo "FAIL: $1"; echo "--- expected"; printf '%s\n' "$3"; echo "--- got"; printf '%s\n' "$2"; fail=1; fi
}
win_path() { echo "Z:${1//\//\\}"; }
# Each tool's output (standard error too: Wine's wrapper joins them) and its
# exit status on the last line.
run_windows() {
  local args=() a
  for a in "$@"; do [[ $a == /* ]] && args+=("$(win_path "$a")") || args+=("$a"); done
  (cd "$(dirname "$windows")" && "$here/../scripts/wine-run" "$windows" "${args[@]}") 2>&1 |
    grep -v '^wine: Read access denied'
  echo "status ${PIPESTATUS[0]}"
}
run_native() { "$native" "$@" 2>&1; echo "status $?"; }

before=$(sha256sum "$db"; ls "$work/data")
for tool in native windows; do
  run=run_$tool
  check "$tool: accounts" "$($run "$db" accounts)" \
"10001: 4 message(s) with 2 contact(s) in the history, 2 unread, signature \"张三\"
status 0"
  check "$tool: contacts, the most recent first" "$($run "$db" contacts 10001)" \
"10002  3 message(s), the newest 2026-12-03 08:00:00
10009  1 message(s), the newest 2026-12-02 10:00:00
status 0"
  csv=$($run "$db" history 10001 10002 --csv | od -An -c | tr -s ' \n' ' ')
  expected=$(printf '%s\r\n' 'peer,kind,time,text' '"10002",sent,"2026-12-01 09:00:00","早上好，""老李"""' \
    $'"10002",received,"2026-12-01 09:05:00","好的,明天见\r\nsecond line"' \
    '"10002",scheduled,"2026-12-03 08:00:00","定时"'; printf 'status 0\n')
  check "$tool: one contact's history as CSV, oldest first, byte for byte" "$csv" \
    "$(printf '%s\n' "$expected" | od -An -c | tr -s ' \n' ' ')"
  json=$($run "$db" history 10001 10002 --json | sed '$d')
  check "$tool: the same as JSON" "$(python3 -c 'import json,sys; print([(r["kind"], r["text"]) for r in json.load(sys.stdin)])' <<<"$json")" \
    "[('sent', '早上好，\"老李\"'), ('received', '好的,明天见\\r\\nsecond line'), ('scheduled', '定时')]"
  check "$tool: the unread queue, in order" "$($run "$db" unread 10001)" \
"2026-12-04 11:00:00  received   10003  未读一
2026-12-04 11:01:00  received   10003  unread two
status 0"
  check "$tool: verify" "$($run "$db" verify)" $'good\nstatus 0'
  check "$tool: a missing file is one line and status 1" "$($run "$work/none.db" accounts)" \
    "smsdb: $([ $tool = windows ] && win_path "$work/none.db" || echo "$work/none.db"): there is no such file
status 1"
  check "$tool: a wrong command line is named, status 2" "$($run "$db" history 10001)" \
    $'smsdb: PEER is required\nsmsdb --help lists what it takes\nstatus 2'
done
check "reading changed nothing and added no file" "$(sha256sum "$db"; ls "$work/data")" "$before"

# A damaged copy: reads refuse it, verify says so, salvage saves what it can
# and never overwrites.
head -c 9000 "$db" > "$work/cut.db"
for tool in native windows; do
  run=run_$tool
  got=$($run "$work/cut.db" history 10001 10002)
  check "$tool: a damaged file is refused in one line" "$(wc -l <<<"$got") $(tail -1 <<<"$got")" "2 status 1"
  check "$tool: verify finds it damaged" "$($run "$work/cut.db" verify)" $'damaged\nstatus 1'
  $run "$db" salvage "$work/saved-$tool.db" >/dev/null
  check "$tool: a salvaged copy holds the history" "$($run "$work/saved-$tool.db" contacts 10001 | head -1)" \
    "10002  3 message(s), the newest 2026-12-03 08:00:00"
  sum=$(sha256sum < "$work/saved-$tool.db")
  check "$tool: salvage never writes over a file" \
    "$($run "$db" salvage "$work/saved-$tool.db" | tail -1) $(sha256sum < "$work/saved-$tool.db")" "status 1 $sum"
done
# Two writers under Wine adding to one contact until told to stop while the
# native tool reads: each change has the file to itself, so every read finds
# a whole file (without the lock one in three does not) and no write is lost.
busy=$work/busy
rm -rf "$busy" && mkdir -p "$busy"
for tag in A B; do
  (cd "$(dirname "$probe")" && "$here/../scripts/wine-run" store_writer.exe "Z:$busy/" 10001 \
     "$tag$(printf "W%.0s" {1..2000})" "Z:$busy/stop") >"$work/written-$tag" 2>/dev/null &
  writers+=($!)
done
reads=0 torn=0
while [ $reads -lt 50 ] && kill -0 "${writers[@]}" 2>/dev/null; do
  [ -f "$busy/smsutilmsg.db" ] || { sleep 0.1; continue; }
  got=$(run_native "$busy/smsutilmsg.db" contacts 10001)
  # A busy machine may keep the writers going past the tool's patience: that
  # is a refusal in so many words, not a read.
  grep -q 'did not finish in time' <<<"$got" && continue
  reads=$((reads + 1))
  [ "$(tail -1 <<<"$got")" == "status 0" ] || { torn=$((torn + 1)); head -2 <<<"$got"; }
done
touch "$busy/stop"
wait "${writers[@]}"
count() { tr -d '\r' < "$work/written-$1" | grep -xE '[0-9]+' || echo 0; }
written=$(($(count A) + $(count B)))
check "reads during the writes are whole" "$torn of $reads reads failed" "0 of 50 reads failed"
check "...and the writers lost nothing" "$(run_windows "$busy/smsutilmsg.db" contacts 10001)" \
  "30000  $written message(s), the newest 2026-12-05 10:00:00
status 0"
check "...and wrote nothing twice" "$(run_native "$busy/smsutilmsg.db" history 10001 30000 --csv | cut -d, -f4 | sort | uniq -d)" ""
exit $fail
