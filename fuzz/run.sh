#!/usr/bin/env bash
# `make fuzz`: builds the harnesses with clang and libFuzzer in BUILD/fuzz and
# runs each in turn for SECONDS on a working copy of its seed corpus (the
# tree's corpus is only read). Prints executions, coverage and crashes per
# harness; exits non-zero when any crashed, the inputs in BUILD/fuzz/crashes/.
#   [FUZZ_OPTIONS=...] fuzz/run.sh BUILD SECONDS [HARNESS...]
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=${1:?build directory}
seconds=${2:-60}
shift 2 || shift $#
harnesses=("$@")
[ ${#harnesses[@]} -gt 0 ] || harnesses=(service_text record skin_file switch_frame account_directory send_request queue_file smsd_session)
# The queue file harness writes a file for every input: ten times faster in
# memory than on a disk that each open forces to sync.
[ -d /dev/shm ] && [ -w /dev/shm ] && export TMPDIR=/dev/shm
command -v clang++ >/dev/null || { echo "fuzz: clang++ is missing; make setup installs it" >&2; exit 1; }
out="$build/fuzz"
if [ ! -f "$out/CMakeCache.txt" ]; then
  CC=clang CXX=clang++ cmake -S "$here" -B "$out" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null || exit 1
fi
cmake --build "$out" -j "${JOBS:-2}" >/dev/null || { cmake --build "$out" -j 1; exit 1; }

status=0
summary=()
for h in "${harnesses[@]}"; do
  [ -x "$out/${h}_fuzz" ] || { echo "fuzz: no harness $h (clang without libFuzzer?)" >&2; exit 1; }
  crashes="$out/crashes/$h"
  mkdir -p "$out/corpus/$h" "$crashes"
  options=(-max_total_time="$seconds" -print_final_stats=1 -timeout=25 -rss_limit_mb=2048 -artifact_prefix="$crashes/")
  [ -f "$here/dict/$h.dict" ] && options+=(-dict="$here/dict/$h.dict")
  # shellcheck disable=SC2206  # FUZZ_OPTIONS: more libFuzzer flags for every harness
  options+=(${FUZZ_OPTIONS:-})
  before=$(find "$crashes" -type f | wc -l)
  echo "fuzz: $h for ${seconds}s"
  log="$out/$h.log"
  "$out/${h}_fuzz" "${options[@]}" "$out/corpus/$h" "$here/corpus/$h" >"$log" 2>&1
  code=$?
  found=$(($(find "$crashes" -type f | wc -l) - before))
  [ "$code" -eq 0 ] || [ "$found" -gt 0 ] || found=1
  [ "$found" -eq 0 ] || { status=1; grep -m1 -E 'ERROR|SUMMARY|abort' "$log" >&2; }
  summary+=("$(printf '%-18s execs %12s  exec/s %8s  %-22s %-18s crashes %s' "$h" \
    "$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)" \
    "$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -1)" \
    "$(grep -o 'cov: [0-9]* ft: [0-9]*' "$log" | tail -1)" "$(grep -o 'corp: [0-9]*/[0-9]*[a-zA-Z]*' "$log" | tail -1)" "$found")")
done
echo
printf '%s\n' "${summary[@]}"
[ $status -eq 0 ] || echo "fuzz: crash inputs are in $out/crashes/ (logs: $out/*.log)" >&2
exit $status
