#!/usr/bin/env bash
# The main job: the SMS server, and the client with the plugin logged in as
# 张三 (10001), opening the order page once the service has started, then
# writing to 李四 (10002) in the send dialog and sending.
# Screenshots go to build/demo/.
set -uo pipefail
source "$(dirname "$0")/prelude.sh"
source "$here/display.sh"
start_display || exit 1

demo=$build/demo
rm -rf "$demo" && mkdir -p "$demo"
"$build/native/server/smsd" --listen 127.0.0.1:0 --http 127.0.0.1:0 --port-file "$demo/ports" --log "$demo/smsd.log" &
smsd=$!
trap 'kill $smsd 2>/dev/null; stop_display' EXIT
for _ in $(seq 100); do [ -s "$demo/ports" ] && break; sleep 0.05; done
read -r switch_port http_port < "$demo/ports"
export SMSUTIL_SWITCH_ADDR=127.0.0.1:$switch_port
echo "demo: smsd on 127.0.0.1:$switch_port, order page on port $http_port"

cd "$build/win/bin"
"$here/wine-run" smshost.exe --account 10001 --data "$demo/data/10001" --order --seconds 30 \
  > "$demo/smshost-10001.log" 2>&1 &
host=$!
sleep 4
screenshot "$demo/order-page-10001.png" && echo "demo: screenshot $demo/order-page-10001.png"

drive() { "$here/wine-run" smsdrive.exe --account 10001 "$@" 2>/dev/null | tr -d '\r'; }
drive pick 101 0 >/dev/null # 李四, the first of the host's contacts
for _ in $(seq 20); do drive text 3046 >/dev/null && break; sleep 0.3; done
printf '李四你好，周六下午三点见。\r\n—— see you on Saturday' > "$demo/message.txt"
drive paste 3063 "Z:${demo//\//\\}\\message.txt" >/dev/null
sleep 1
screenshot "$demo/send-dialog-10001.png" && echo "demo: screenshot $demo/send-dialog-10001.png"
drive click 3049 >/dev/null
sleep 1
drive close 100 >/dev/null
wait $host
tr -d '\r' < "$demo/smshost-10001.log" | grep '^smshost:'
echo "demo: server log in $demo/smsd.log"
