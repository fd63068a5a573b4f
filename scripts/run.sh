#!/usr/bin/env bash
# `make run`: the SMS server and the clients of 张三 (10001) and 李四 (10002)
# on your own display, until you close both clients. Their data (history,
# unread messages, signature) stays in build/run/ from one run to the next.
set -uo pipefail
if [ -z "${DISPLAY:-}" ]; then
  echo "make run: there is no display (\$DISPLAY is empty). Run it in a desktop session," >&2
  echo "or over ssh -X; 'make demo' shows the same on a private display, in pictures." >&2
  exit 1
fi
[ "${1:-}" = --check-display ] && exit 0
source "$(dirname "$0")/prelude.sh"
# The clients' language: 2052 Chinese, 1033 English.
language=${2:-2052}
export SMSUTIL_DISPLAY=$DISPLAY

work=$build/run
mkdir -p "$work"
source "$here/smsd.sh"
trap 'kill $server 2>/dev/null; wait $server 2>/dev/null' EXIT
start_smsd "$build/native/server/smsd" "$work" || { echo "make run: smsd did not start; see $work/smsd.log" >&2; exit 1; }
echo "run: smsd on 127.0.0.1:$switch_port, its order page on port $http_port, log in $work/smsd.log"

hosts=()
for account in 10001 10002; do
  at=20,20; [ $account = 10002 ] && at=1280,20
  (cd "$build/win/bin" && SMSUTIL_SWITCH_ADDR="127.0.0.1:$switch_port" exec "$here/wine-run" smshost.exe \
     --account $account --data "$work/data/$account" --at $at --language "$language") > "$work/host-$account.log" 2>&1 &
  hosts+=($!)
done
echo "run: 张三 (10001) and 李四 (10002) are logging in on $DISPLAY."
echo "run: double-click a contact to write to them; the button above the list opens the order page."
echo "run: close both client windows to stop."
wait "${hosts[@]}"
echo "run: both clients closed; their logs are in $work/"
