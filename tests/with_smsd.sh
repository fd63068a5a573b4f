#!/usr/bin/env bash
# Runs a Windows test program against a real smsd on free loopback ports:
#   with_smsd.sh SMSD PROGRAM [ARGS...]
# The program finds the server through SMSUTIL_SWITCH_ADDR.
set -uo pipefail
smsd=$1; shift
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
"$smsd" --listen 127.0.0.1:0 --http 127.0.0.1:0 --port-file "$work/ports" --log "$work/smsd.log" &
server=$!
trap 'kill $server 2>/dev/null; wait $server 2>/dev/null; rm -rf "$work"' EXIT
for _ in $(seq 100); do [ -s "$work/ports" ] && break; sleep 0.05; done
read -r switch_port _ < "$work/ports" || { echo "with_smsd: smsd did not start"; cat "$work/smsd.log"; exit 1; }
export SMSUTIL_SWITCH_ADDR=127.0.0.1:$switch_port

cd "$(dirname "$1")"
"$here/../scripts/wine-run" "$@"
status=$?
if [ $status -ne 0 ]; then echo "--- smsd log"; cat "$work/smsd.log"; fi
exit $status
