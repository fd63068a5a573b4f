#!/usr/bin/env bash
# End to end on a full disk: 李四 (10002)'s data directory lies on a 4 MB
# tmpfs that a filler file fills. Two messages from 张三 (10001) arrive
# through the real smsd: 李四's host keeps answering, shows both in order and
# says once that they cannot be saved there. With the filler gone, the next
# message is stored and the earlier ones are written, as the native history
# tool reads the file while the host still runs. 77: no tmpfs (not root).
#   e2e_full_disk.sh SMSD BINDIR WORKDIR SMSDB
set -uo pipefail
smsd=$1 bin=$2 work=$3 smsdb=$4
here=$(cd "$(dirname "$0")" && pwd)
rm -rf "$work" && mkdir -p "$work/disk"
mount -t tmpfs -o size=4m tmpfs "$work/disk" 2>/dev/null || { echo "SKIP: cannot mount a tmpfs (needs root)"; exit 77; }
source "$here/e2e_hosts.sh"
trap 'e2e_finish; umount "$work/disk" 2>/dev/null || umount -l "$work/disk"' EXIT
data=$work/disk/data/10002 box=65535 # the text of a message box
mkdir -p "$data" && dd if=/dev/zero of="$work/disk/filler" bs=64k 2>/dev/null
check "the disk is full" "$(df --output=avail "$work/disk" | tail -1)" '^ *0$'

answers() { check "李四's host answers within a second $1" "$(drive --account 10002 ping)" '^[0-9]+ ms$'; }
shows() { # text [next]: 张三 sends it; 李四's host shows it, after next when asked
  drive --account 10001 pick $contacts 0 >/dev/null
  wait_for 10001 $recipient '^李四' && printf '%s' "$1" > "$work/message.txt"
  drive --account 10001 paste $message "$(windows_path "$work/message.txt")" >/dev/null
  drive --account 10001 click $send >/dev/null
  [ -n "${2:-}" ] && wait_for 10002 $back '^下一条>>$' && drive --account 10002 click $back >/dev/null
  wait_for 10002 $body "^$1\$"
  check "李四's host shows \"$1\"${2:+ after next}" "$(drive --account 10002 text $body)" "^$1\$"
}

start_host 10001
start_host 10002 "$data"
wait_for 10001 $plugin_button . && wait_for 10002 $plugin_button . || { echo "FAIL: the hosts did not start"; exit 1; }
shows '第一条 one'
wait_for 10002 $box .
check "a message box names the folder and the full disk" "$(drive --account 10002 text $box)" \
  "^短消息暂时无法保存到文件夹 Z:.*\\\\disk\\\\data\\\\10002\\\\ 中：磁盘空间不足。"
answers "with the box open"
shows '第二条 two' next
drive --account 10002 close $box >/dev/null
sleep 1
check "no second message box" "$(drive --account 10002 text $box || echo none)" '^none$'

rm "$work/disk/filler"
shows '第三条 three' next
check "the file holds the three messages in order, each once" \
  "$("$smsdb" "$data/smsutilmsg.db" history 10002 10001 2>&1 | grep -o '第.条 [a-z]*$' | tr '\n' ' ')" \
  '^第一条 one 第二条 two 第三条 three $'
check "and none unread" "$("$smsdb" "$data/smsutilmsg.db" accounts 2>&1)" '^10002: 3 message\(s\) .*, 0 unread'
answers "at the end"
drive --account 10001 close $plugin_button >/dev/null
drive --account 10002 close $plugin_button >/dev/null
wait "${hosts[@]}"
[ $fail = 0 ] || cat "$work/smsd.log" "$work"/host-*.out
exit $fail
