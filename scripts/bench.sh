#!/usr/bin/env bash
# Benchmarks: figures to read, never a pass or a fail.
set -uo pipefail
source "$(dirname "$0")/prelude.sh"
work=$build/bench
rm -rf "$work" && mkdir -p "$work"
cd "$build/win/bin"
echo "store under Wine (microseconds per call, best of three runs):"
"$here/wine-run" store_bench.exe "Z:$work" 2>/dev/null | tr -d '\r'
echo
echo "history popup under Wine (best of 50 fills):"
"$here/wine-run" history_bench.exe "Z:$work" 2>/dev/null | tr -d '\r'
echo
echo "send dialog under Wine (one keystroke, microseconds):"
SMSUTIL_SWITCH_ADDR=127.0.0.1:1 "$here/wine-run" send_bench.exe 2>/dev/null | tr -d '\r'
