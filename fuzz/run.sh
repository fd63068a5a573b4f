#!/usr/bin/env bash
# `make fuzz`: builds the harnesses with clang and libFuzzer in BUILD/fuzz and
# runs each, one after another, for SECONDS, on a working copy of its seed
# corpus (new inputs stay in the build tree; the tree's corpus is only read).
# Prints executions, coverage and crashes per harness; exits non-zero when
# any harness crashed, with the inputs in BUILD/fuzz/crashes/HARNESS/.
#   [FUZZ_OPTIONS=...] fuzz/run.sh BUILD SECONDS [HARNESS...]
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=${1:?build directory}
seconds=${2:-60}
shift 2 || shift $#
harnesses=("$@")
# The queue file harness writes a file for every input: in memory it runs
# ten times faster than on a disk that each open forces to sync.
[ -d /dev/shm ] && [ -w /dev/shm ] && export TMPDIR=/dev/shm
[ ${#harnesses[@]} -gt 0 ] || harnesses=(service_text record skin_file switch_frame account_directory send_request queue_file smsd_session)
jobs=${JOBS:-2}

if ! command -v clang++ >/dev/null; then
  echo "fuzz: clang++ is missing; scripts/setup.sh (make setup) installs it" >&2
  exit 1
fi
out="$build/fuzz"
if [ ! -f "$out/CMakeCache.txt" ]; then
  CC=clang CXX=clang++ cmake -S "$here" -B "$out" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null || exit 1
fi
cmake --build "$out" -j "$jobs" >/dev/null || { cmake --build "$out" -j 1; exit 1; }
for h in "${harnesses[@]}"; do
  [ -x "$out/${h}_fuzz" ] || { echo "fuzz: no harness $h (clang without libFuzzer?)" >&2; exit 1; }
done

status=0
summary=()
for h in "${harnesses[@]}"; do
  work="$out/corpus/$h"
  crashes="$out/crashes/$h"
  mkdir -p "$work" "$crashes"
  options=(-max_total_time="$seconds" -print_final_stats=1 -timeout=25 -rss_limit_mb=2048
           -artifact_prefix="$crashes/")
  [ -f "$here/dict/$h.dict" ] && options+=(-dict="$here/dict/$h.dict")
  # FUZZ_OPTIONS: more libFuzzer flags for every harness (-max_len=256, ...).
  # shellcheck disable=SC2206
  options+=(${FUZZ_OPTIONS:-})
  before=$(find "$crashes" -type f | wc -l)
  echo "fuzz: $h for ${seconds}s"
  log="$out/$h.log"
  "$out/${h}_fuzz" "${options[@]}" "$work" "$here/corpus/$h" >"$log" 2>&1
  code=$?
  after=$(find "$crashes" -type f | wc -l)
  execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -1)
  cov=$(grep -o 'cov: [0-9]* ft: [0-9]*' "$log" | tail -1)
  corpus=$(grep -o 'corp: [0-9]*/[0-9]*[a-zA-Z]*' "$log" | tail -1)
  found=$((after - before))
  if [ "$code" -ne 0 ] && [ "$found" -eq 0 ]; then found=1; fi
  [ "$found" -eq 0 ] || { status=1; grep -m1 -E 'ERROR|SUMMARY|abort' "$log" >&2; }
  summary+=("$(printf '%-18s execs %12s  exec/s %8s  %-22s %-18s crashes %s' "$h" "${execs:-?}" "${rate:-?}" \
              "${cov:-cov: ?}" "${corpus:-corp: ?}" "$found")")
done
echo
for line in "${summary[@]}"; do echo "$line"; done
[ $status -eq 0 ] || echo "fuzz: crash inputs are in $out/crashes/ (logs: $out/*.log)" >&2
exit $status
