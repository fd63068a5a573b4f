#!/usr/bin/env bash
# End to end under Wine: the real smsd, the real host and the real module.
# Logging in starts the service and the order dialog navigates to the built
# address, whose page the browser control fetches from the server and shows;
# without a server the start-up times out; a rejected account's start-up
# fails; a server that restarts under a running host is reached again by the
# next start-up, without a new log-in.
#   e2e_order.sh SMSD BINDIR WORKDIR
set -uo pipefail
smsd=$1
bin=$2
work=$3
here=$(cd "$(dirname "$0")" && pwd)
rm -rf "$work" && mkdir -p "$work"
fail=0

start_smsd() { # switch-port http-port (0: any free one)
  rm -f "$work/ports"
  "$smsd" --listen "127.0.0.1:$1" --http "127.0.0.1:$2" --port-file "$work/ports" --log "$work/smsd.log" &
  server=$!
  for _ in $(seq 100); do [ -s "$work/ports" ] && break; sleep 0.05; done
}
start_smsd 0 0
trap 'kill $server 2>/dev/null; wait $server 2>/dev/null' EXIT
read -r switch_port http_port < "$work/ports"

host() { # account seconds switch-address
  (cd "$bin" && SMSUTIL_SWITCH_ADDR=$3 "$here/../scripts/wine-run" smshost.exe --account "$1" \
     --data "$work/data/$1" --order --seconds "$2") 2>/dev/null | tr -d '\r' | grep '^smshost:'
}
check() { # description, output, expected line (regex)
  if grep -qE "$3" <<<"$2"; then echo "PASS: $1"; else echo "FAIL: $1"; echo "$2"; fail=1; fi
}

out=$(host 10001 3 "127.0.0.1:$switch_port")
check "ready service navigates to the order page" "$out" \
  "^smshost: order page: http://127\.0\.0\.1:$http_port/order\?option=add&registerPhone=13800000001&service=1001&user_id=10001&session_id=session-10001-[0-9]+$"
address=$(sed -n 's/^smshost: order page: //p' <<<"$out")
page=$(python3 -c 'import sys, urllib.request; print(urllib.request.urlopen(sys.argv[1], timeout=5).read().decode("gbk"))' "$address" 2>&1)
check "the server's page names the option" "$page" "<title>短信服务 - 升级短信服务</title>"
check "the server's page has the registered phone of the address" "$page" "注册手机：<b>13800000001</b>"
check "the server's page has the user id of the address" "$page" "帐号：<b>10001</b>"

out=$(host 10002 3 "127.0.0.1:$switch_port")
check "level 3 displays" "$out" "order page: .*\?option=display&registerPhone=13800000002&"

out=$(host 10001 4 "127.0.0.1:1")
check "no server: the start-up times out" "$out" "^smshost: order status: 初始化服务超时，请您尝试重试。$"

out=$(host 10006 3 "127.0.0.1:$switch_port")
check "a rejected account's start-up fails" "$out" "^smshost: order status: 初始化服务失败，请您尝试重试。$"

# The ids of the host's plugin button and the order dialog's controls.
plugin_button=100 browser=3059 retry=3064 status=3065
drive() { (cd "$bin" && "$here/../scripts/wine-run" smsdrive.exe "$@") 2>/dev/null | tr -d '\r'; }
# Waits up to about ten seconds for control $1 to show text matching $2; with
# $3, clicks that control before each look.
wait_for() {
  for _ in $(seq 20); do
    [ -n "${3:-}" ] && drive click "$3" >/dev/null
    drive text "$1" | grep -qE "$2" && return 0
    sleep 0.3
  done
  return 1
}
(cd "$bin" && SMSUTIL_SWITCH_ADDR="127.0.0.1:$switch_port" "$here/../scripts/wine-run" smshost.exe --account 10001 \
   --data "$work/data/restart" --order --seconds 40) >"$work/restart.out" 2>&1 &
restart_host=$!
if wait_for $browser "option=add"; then
  # The control shows the page it fetched from the server: the address on
  # top, then the title and the account.
  shown=$(wait_for $browser "帐号：10001" && drive text $browser)
  check "the order dialog's browser shows the server's page" "$shown" "^短信服务 - 升级短信服务$"
  check "the page shown is the one of the address the dialog built" "$shown" \
    "^http://127\.0\.0\.1:$http_port/order\?option=add&registerPhone=13800000001&service=1001&user_id=10001&session_id=session-10001-[0-9]+$"
  check "the page shown names the registered phone" "$shown" "^注册手机：13800000001$"
  kill $server; wait $server 2>/dev/null
  start_smsd "$switch_port" "$http_port"
  # The plugin button shows the order dialog's state: failed once the host has
  # seen the link go down; the retry then starts the service again.
  if wait_for $status "初始化服务失败" $plugin_button; then
    drive click $retry >/dev/null
    wait_for $browser "option=add&registerPhone=13800000001" && restarted=1
  fi
fi
check "after a server restart the retried start-up reaches it" "${restarted:+ready}" "^ready$"
drive close $plugin_button >/dev/null
wait $restart_host

[ $fail = 0 ] || { echo "--- smsd log"; cat "$work/smsd.log"; }
exit $fail
