#!/usr/bin/env bash
# End to end under Wine: two hosts and the real smsd. 张三 (10001) picks 李四
# (10002) in the host's list, pastes a message with Chinese text and a line
# break into the send dialog and presses send; 李四's host shows it in a view
# dialog, the bytes reach 李四's history unchanged, and 张三's history holds
# the sent message, both as Debian's native Berkeley DB tools read the files.
# A message to 周九 (10009), whom the server does not know, comes back to
# 张三 as a notice from "系统".
#   e2e_send.sh SMSD BINDIR WORKDIR
set -uo pipefail
smsd=$1
bin=$2
work=$3
here=$(cd "$(dirname "$0")" && pwd)
rm -rf "$work" && mkdir -p "$work"
source "$here/e2e_hosts.sh"

start_host 10001
start_host 10002
wait_for 10001 $plugin_button . && wait_for 10002 $plugin_button . || { echo "FAIL: the hosts did not start"; exit 1; }

drive --account 10001 pick $contacts 0 >/dev/null
wait_for 10001 $recipient '^李四\(10002\)$'
check "double-clicking 李四 opens the send dialog on him" "$(drive --account 10001 text $recipient)" '^李四\(10002\)$'
printf '你好 smsutil\r\nline2' > "$work/message.txt"
drive --account 10001 paste $message "$(windows_path "$work/message.txt")" >/dev/null
drive --account 10001 click $send >/dev/null
for _ in $(seq 30); do drive --account 10001 text $message >/dev/null || break; sleep 0.3; done
check "the dialog closes once the message is handed over" "$(drive --account 10001 text $message || echo closed)" '^closed$'
wait_for 10002 $sender_label '^张三\(10001\)$'
check "李四's host shows the message from 张三" "$(drive --account 10002 text $sender_label)" '^张三\(10001\)$'
check "the view dialog holds the text with its line break" "$(drive --account 10002 text $body)" '^你好 smsutil$'
check "the text's second line" "$(drive --account 10002 text $body)" '^line2$'
check "no more messages wait" "$(drive --account 10002 text $back)" '^返回$'

drive --account 10001 pick $contacts 2 >/dev/null
wait_for 10001 $recipient '^周九\(10009\)$'
check "double-clicking 周九 opens the send dialog on him" "$(drive --account 10001 text $recipient)" '^周九\(10009\)$'
printf 'nobody there' > "$work/unknown.txt"
drive --account 10001 paste $message "$(windows_path "$work/unknown.txt")" >/dev/null
drive --account 10001 click $send >/dev/null
wait_for 10001 $sender_label '^系统\(10009\)$'
check "the undeliverable message comes back to 张三 as a notice" "$(drive --account 10001 text $sender_label)" '^系统\(10009\)$'
check "the notice names the recipient and the server's reason" "$(drive --account 10001 text $body)" \
  '^抱歉，您给联系人 \[10009\] 的消息无法发出。错误原因：.+。$'
drive --account 10001 close $plugin_button >/dev/null
drive --account 10002 close $plugin_button >/dev/null
wait "${hosts[@]}"

text=c4e3bac320736d737574696c0d0a6c696e6532 # 你好 smsutil CR LF line2 in GBK
received=$(db5.3_dump -s 10002mdata "$work/data/10002/smsutilmsg.db" 2>&1)
check "李四's history holds the text from 10001 byte for byte" "$received" \
  "^ 0306003130303031001400[0-9a-f]{38}001400${text}00$"
sent=$(db5.3_dump -s 10001mdata "$work/data/10001/smsutilmsg.db" 2>&1)
check "张三's history holds the sent message, kind 1, under 10002" "$sent" '^ 3130303032$'
check "the sent record's bytes" "$sent" "^ 0106003130303032001400[0-9a-f]{38}001400${text}00$"
check "张三's history holds the notice, kind 0, under 10009" "$sent" '^ 0006003130303039001400[0-9a-f]{38}00'
[ $fail = 0 ] || { echo "--- smsd log"; cat "$work/smsd.log"; cat "$work"/host-*.out; }
exit $fail
