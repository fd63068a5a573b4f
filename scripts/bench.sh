#!/usr/bin/env bash
# Benchmarks: figures to read, never a pass or a fail.
set -uo pipefail
# Every figure here is a chain of round trips between a program, the
# wineserver and the display. Spread over the idle cores of a virtual
# machine, each trip waits for a sleeping core to wake: the figures then
# grow three to five times and jump between runs with whatever else keeps a
# core awake. On one core they measure the code. SMSUTIL_BENCH_ANY_CORE=1
# leaves the placing to the scheduler.
if [ -z "${SMSUTIL_BENCH_ANY_CORE:-}" ] && [ -z "${SMSUTIL_BENCH_ON_ONE_CORE:-}" ]; then
  core=$(taskset -c -p $$ | sed 's/.*: //; s/[,-].*//')
  SMSUTIL_BENCH_ON_ONE_CORE=$core exec taskset -c "$core" "$0" "$@"
fi
source "$(dirname "$0")/prelude.sh"
# One display and one wineserver for every program here: the delivery's two
# hosts and its driver must share them to see each other's windows.
source "$here/display.sh" && start_display || exit 1
echo "every program here on core ${SMSUTIL_BENCH_ON_ONE_CORE:-any}"
work=$build/bench
rm -rf "$work" && mkdir -p "$work"
cd "$build/win/bin"
echo "store under Wine (microseconds per call, the median of turns beside the bare loop's):"
"$here/wine-run" store_bench.exe "Z:$work" 2>/dev/null | tr -d '\r'
echo
echo "history popup under Wine (best of 50 fills):"
"$here/wine-run" history_bench.exe "Z:$work" 2>/dev/null | tr -d '\r'
echo
echo "send dialog under Wine (one keystroke, microseconds):"
SMSUTIL_SWITCH_ADDR=127.0.0.1:1 "$here/wine-run" send_bench.exe 2>/dev/null | tr -d '\r'
echo
# Under Wine every put opens and closes the file, some milliseconds each: the
# 10,000 take two to three minutes; SMSUTIL_BURST_MESSAGES=2000 is quicker.
burst_messages=${SMSUTIL_BURST_MESSAGES:-10000}
echo "a burst of received messages, in one process under Wine (the module in a test host):"
mkdir -p "$work/burst"
SMSUTIL_SWITCH_ADDR=127.0.0.1:1 "$here/wine-run" receive_bench.exe "Z:${work//\//\\}\\burst" "$burst_messages" \
  2>/dev/null | tr -d '\r'
echo
echo "delivery end to end: two hosts under Wine, the native smsd on loopback:"
delivery=$work/delivery
mkdir -p "$delivery"
source "$here/smsd.sh"
server=
trap 'kill $server 2>/dev/null; wait $server 2>/dev/null; stop_display' EXIT
start_smsd "$build/native/server/smsd" "$delivery"
hosts=()
for account in 10001 10002; do
  SMSUTIL_SWITCH_ADDR="127.0.0.1:$switch_port" "$here/wine-run" smshost.exe --account $account \
    --data "$delivery/data/$account" --seconds 300 >"$delivery/host-$account.out" 2>&1 &
  hosts+=($!)
  # One after the other: each host's plugin load is timed on its own, not
  # beside another process starting.
  for _ in $(seq 100); do grep -q 'logged in' "$delivery/host-$account.out" 2>/dev/null && break; sleep 0.1; done
done
# 10001 sends to 李四 (10002), the first of its contacts.
"$here/wine-run" delivery_bench.exe 10001 10002 50 0 2>/dev/null | tr -d '\r'
# The driver closes both hosts; any still running after a while is ended.
running() { local pid; for pid in "${hosts[@]}"; do kill -0 "$pid" 2>/dev/null && return 0; done; return 1; }
for _ in $(seq 100); do running || break; sleep 0.2; done
for pid in "${hosts[@]}"; do kill "$pid" 2>/dev/null; wait "$pid" 2>/dev/null; done
echo
echo "plugin load and InitPlugin in smshost, each host of the delivery (target: under 20 ms):"
sed -n 's/.*load and InitPlugin \([0-9.]*\) ms.*/  \1 ms/p' "$delivery"/host-*.out
