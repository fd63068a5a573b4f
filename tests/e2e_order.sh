#!/usr/bin/env bash
# End to end under Wine: the real smsd, host and module. Logging in starts the
# service and the order dialog's browser shows the page that the server
# serves at the address the dialog built. smsd killed and started again on
# its ports under the running host is reached by the retried start-up,
# without a new log-in.
#   e2e_order.sh SMSD BINDIR WORKDIR
set -uo pipefail
smsd=$1 bin=$2 work=$3
here=$(cd "$(dirname "$0")" && pwd)
rm -rf "$work" && mkdir -p "$work"
source "$here/e2e_hosts.sh"
# The order dialog's browser, retry button and status line.
browser=3059 retry=3064 status=3065

start_host 10001 "" --order
wait_for 10001 $browser "帐号：10001" || { echo "FAIL: the order page never showed"; exit 1; }
# The control shows the page it fetched: the address on top, then the title
# and the account.
shown=$(drive --account 10001 text $browser)
check "the order dialog's browser shows the server's page" "$shown" "^短信服务 - 升级短信服务$"
check "the page shown is the one of the address the dialog built" "$shown" \
  "^http://127\.0\.0\.1:$http_port/order\?option=add&registerPhone=13800000001&service=1001&user_id=10001&session_id=session-10001-[0-9]+$"
check "the page shown names the registered phone" "$shown" "^注册手机：13800000001$"

kill -9 "$server"; wait "$server" 2>/dev/null
"$smsd" --listen "127.0.0.1:$switch_port" --http "127.0.0.1:$http_port" --port-file "$work/ports.again" \
  --log "$work/smsd.log" &
server=$!
# The plugin button shows the order dialog's state: failed once the host has
# seen the link go down; the retry then starts the service again.
for _ in $(seq 30); do
  drive --account 10001 click $plugin_button >/dev/null
  drive --account 10001 text $status | grep -q "初始化服务失败" && break
  sleep 0.3
done
drive --account 10001 click $retry >/dev/null
wait_for 10001 $browser "option=add&registerPhone=13800000001" && restarted=1
check "after smsd was killed and started again the retried start-up reaches it" "${restarted:+ready}" "^ready$"
drive --account 10001 close $plugin_button >/dev/null
wait "${hosts[@]}"
[ $fail = 0 ] || { echo "--- smsd log"; cat "$work/smsd.log" "$work"/host-*.out; }
exit $fail
