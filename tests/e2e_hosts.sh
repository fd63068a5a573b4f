# The end-to-end scripts' common part, sourced once `smsd`, `bin`, `work` and
# `here` are set: smsd on free ports, hosts that end with the script, and
# the helpers that drive and read the hosts' windows. `fail` turns 1 at the
# first failed check.
fail=0
"$smsd" --listen 127.0.0.1:0 --http 127.0.0.1:0 --port-file "$work/ports" --log "$work/smsd.log" &
server=$!
hosts=()
# What a script started, ended; a script with more to undo calls it from its own trap.
e2e_finish() {
  for pid in "${hosts[@]}" "$server"; do kill "$pid" 2>/dev/null; done
  wait 2>/dev/null
}
trap e2e_finish EXIT
for _ in $(seq 100); do [ -s "$work/ports" ] && break; sleep 0.05; done
read -r switch_port http_port < "$work/ports" || { echo "FAIL: smsd did not start"; exit 1; }

windows_path() { local path=$1; echo "Z:${path//\//\\}"; }
check() { # description, text, expected (regex)
  if grep -qE "$3" <<<"$2"; then echo "PASS: $1"; else echo "FAIL: $1"; echo "$2"; fail=1; fi
}
drive() { (cd "$bin" && "$here/../scripts/wine-run" smsdrive.exe "$@") 2>/dev/null | tr -d '\r'; }
wait_for() { # account control regex
  for _ in $(seq 30); do
    drive --account "$1" text "$2" | grep -qE "$3" && return 0
    sleep 0.3
  done
  return 1
}
start_host() { # account [data directory [options]]; its pid joins `hosts`
  (cd "$bin" && SMSUTIL_SWITCH_ADDR="127.0.0.1:$switch_port" exec "$here/../scripts/wine-run" smshost.exe \
     --account "$1" --data "${2:-$work/data/$1}" "${@:3}" --seconds 60) >"$work/host-$1.out" 2>&1 &
  hosts+=($!)
}

# The controls a person uses: the host's plugin button and contact list, the
# send dialog's recipient, message field and send button.
plugin_button=100 contacts=101 recipient=3046 message=3063 send=3049
# The view dialog's sender label, text and back button.
sender_label=3031 body=3040 back=3018
