#!/usr/bin/env bash
# Runs a Windows test program against a real smsd on a free loopback port:
#   with_smsd.sh SMSD PROGRAM [ARGS...]
# The program finds the server through SMSUTIL_SWITCH_ADDR. It may stop and
# start the server through the directory SMSUTIL_SMSD_CONTROL (a Windows
# path): it creates "stop", "kill" or "start" there, and the file is gone once
# smsd has stopped (by SIGTERM, or by SIGKILL: no chance to close anything),
# or listens again on the same ports. SMSD_ARGS adds options to every start
# of smsd (for example an answer delay); SMSUTIL_SMSD_LOG names its log file
# (a Windows path) for the program to read. The queue file beside the log
# lives across restarts.
set -uo pipefail
smsd=$1; shift
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
mkdir "$work/control"
controller=
cleanup() {
  [ -n "$controller" ] && kill "$controller" 2>/dev/null && wait "$controller" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

# The controller owns smsd: it starts it, stops and restarts it on request,
# and stops it when it is itself stopped.
(
  server=
  # Starts smsd on $1 and $2 (0: any free port) and waits for its port file.
  start_smsd() {
    rm -f "$work/ports.new"
    # shellcheck disable=SC2086
    "$smsd" --listen "127.0.0.1:$1" --http "127.0.0.1:$2" --port-file "$work/ports.new" --log "$work/smsd.log" \
      ${SMSD_ARGS:-} &
    server=$!
    for _ in $(seq 100); do [ -s "$work/ports.new" ] && { mv "$work/ports.new" "$work/ports"; return 0; }; sleep 0.05; done
    echo "with_smsd: smsd did not start" >> "$work/smsd.log"
    return 1
  }
  trap '[ -n "$server" ] && kill "$server" 2>/dev/null && wait "$server"; exit 0' TERM
  start_smsd 0 0 || exit 1
  read -r switch_port http_port < "$work/ports"
  while :; do
    if [ -e "$work/control/stop" ]; then
      [ -n "$server" ] && kill "$server" 2>/dev/null && wait "$server"
      echo "with_smsd: smsd stopped" >> "$work/smsd.log"
      server=
      rm -f "$work/control/stop"
    fi
    if [ -e "$work/control/kill" ]; then
      [ -n "$server" ] && kill -9 "$server" 2>/dev/null && { wait "$server"; } 2>/dev/null
      echo "with_smsd: smsd killed" >> "$work/smsd.log"
      server=
      rm -f "$work/control/kill"
    fi
    if [ -e "$work/control/start" ]; then
      [ -z "$server" ] && start_smsd "$switch_port" "$http_port"
      rm -f "$work/control/start"
    fi
    sleep 0.05
  done
) &
controller=$!

for _ in $(seq 100); do [ -s "$work/ports" ] && break; sleep 0.05; done
[ -s "$work/ports" ] || { echo "with_smsd: smsd did not start"; cat "$work/smsd.log"; exit 1; }
read -r switch_port http_port < "$work/ports"
export SMSUTIL_SWITCH_ADDR=127.0.0.1:$switch_port
export SMSUTIL_ORDER_PORT=$http_port
export SMSUTIL_SMSD_CONTROL="Z:${work//\//\\}\\control"
export SMSUTIL_SMSD_LOG="Z:${work//\//\\}\\smsd.log"

cd "$(dirname "$1")"
"$here/../scripts/wine-run" "$@"
status=$?
if [ $status -ne 0 ]; then echo "--- smsd log"; cat "$work/smsd.log"; fi
exit $status
