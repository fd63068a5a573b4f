#!/usr/bin/env bash
# The demo's conversation: smsd, the hosts of 张三 (10001) and 李四 (10002)
# side by side on the display, and smsdemo playing every step through their
# windows. Given a folder for screenshots, the display is captured at each
# step into it, and captions.txt lists the pictures with their captions.
# Exit status 0 only when every step was seen.
#   conversation.sh SMSD BINDIR WORKDIR [SHOTS]
set -uo pipefail
smsd=$1 bin=$2 work=$3 shots=${4:-}
here=$(cd "$(dirname "$0")" && pwd)
source "$here/display.sh"
rm -rf "$work" && mkdir -p "$work"
windows_path() { local path=$1; echo "Z:${path//\//\\}"; }

echo 0 > "$work/clock"
source "$here/smsd.sh"
server=
hosts=()
finish() {
  for pid in "${hosts[@]}"; do kill "$pid" 2>/dev/null; done
  kill "$server" 2>/dev/null
  wait 2>/dev/null
}
trap finish EXIT
start_smsd "$smsd" "$work" --clock-file "$work/clock" || { echo "FAIL: smsd did not start"; exit 1; }

start_host() { # account x,y language
  (cd "$bin" && SMSUTIL_SWITCH_ADDR="127.0.0.1:$switch_port" exec "$here/wine-run" smshost.exe \
     --account "$1" --data "$work/data/$1" --at "$2" --language "$3") >"$work/host-$1.log" 2>&1 &
  hosts+=($!)
}
# 张三's client speaks Chinese, 李四's English, as smsdemo expects.
start_host 10001 20,20 2052
start_host 10002 1280,20 1033

args=(--clock-file "$(windows_path "$work/clock")")
if [ -n "$shots" ]; then
  mkdir -p "$shots" && : > "$shots/captions.txt"
  args+=(--shots "$(windows_path "$shots")")
fi
(cd "$bin" && "$here/wine-run" smsdemo.exe "${args[@]}") 2>"$work/smsdemo.err" |
  while IFS= read -r line; do
    line=${line%$'\r'}
    if [[ $line == shot\ * ]]; then
      read -r _ name caption <<<"$line"
      screenshot "$shots/$name.partial.png" && mv "$shots/$name.partial.png" "$shots/$name.png"
      printf '%s %s\n' "$name" "$caption" >> "$shots/captions.txt"
      echo "demo:    screenshot $name.png"
    else
      echo "$line"
    fi
  done
status=${PIPESTATUS[0]}

# Closed by the driver, the hosts log out and end on their own.
for pid in "${hosts[@]}"; do
  for _ in $(seq 100); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
done
if [ "$status" != 0 ]; then
  echo "--- smsd log"; cat "$work/smsd.log"
  for log in "$work"/host-*.log "$work/smsdemo.err"; do echo "--- $log"; tr -d '\r' < "$log"; done
fi
exit "$status"
