#!/usr/bin/env bash
# The main job: the SMS server and two clients, 张三 (10001) and 李四 (10002),
# on a private display, playing a conversation through the plugin's windows.
# Each step's screenshot goes to build/demo/NN-step.png, and
# build/demo/index.html shows them in order with their captions; the README's
# pictures in docs/ are refreshed from them.
set -uo pipefail
source "$(dirname "$0")/prelude.sh"
source "$here/display.sh" && start_display || exit 1

demo=$build/demo
rm -rf "$demo" && mkdir -p "$demo"
started=$(date +%s)
"$here/conversation.sh" "$build/native/server/smsd" "$build/win/bin" "$build/demo-run" "$demo"
status=$?
cp "$build/demo-run/smsd.log" "$demo/smsd.log" 2>/dev/null

{
  echo '<!DOCTYPE html>'
  echo '<html lang="zh-CN"><head><meta charset="utf-8"><title>smsutil: the demo</title>'
  echo '<style>body{font-family:sans-serif;max-width:1300px;margin:2em auto}img{max-width:100%;border:1px solid #999}</style>'
  echo '</head><body><h1>smsutil: 张三 and 李四 exchange messages</h1>'
  while read -r name caption; do
    caption=$(sed 's/&/\&amp;/g; s/</\&lt;/g; s/>/\&gt;/g' <<<"$caption")
    echo "<h2>${name%%-*}. $caption</h2><p><img src=\"$name.png\" alt=\"$name\"></p>"
  done < "$demo/captions.txt"
  echo '</body></html>'
} > "$demo/index.html"

if [ "$status" = 0 ]; then
  # The README's pictures: the send dialog, the message arriving, the history.
  mkdir -p "$here/../docs"
  for shot in send-dialog next-waiting history; do
    cp "$demo"/[0-9][0-9]-$shot.png "$here/../docs/$shot.png" 2>/dev/null
  done
  echo "demo: every step seen in $(( $(date +%s) - started )) s; open $demo/index.html"
else
  echo "demo: FAILED (see the lines above); what was taken is in $demo/index.html"
fi
exit "$status"
