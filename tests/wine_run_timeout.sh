#!/usr/bin/env bash
# A program that ctest kills for its time-out still shows what it printed
# before: the Wine runner hands output on as it comes, and ctest does not wait
# for Wine's helpers to let go of the output either.
# wine_run_timeout.sh PROBE WORKDIR
set -uo pipefail
probe=$1
work=$2
here=$(cd "$(dirname "$0")" && pwd)
rm -rf "$work" && mkdir -p "$work"
cat > "$work/CTestTestfile.cmake" <<END
add_test(hangs "$here/../scripts/wine-run" "$probe")
set_tests_properties(hangs PROPERTIES TIMEOUT 4)
END
output=$(cd "$work" && ctest --output-on-failure 2>&1 | tr -d '\r')
echo "$output"
grep -q 'hangs .*Timeout' <<<"$output" || { echo "FAIL: the hanging program was not stopped by its time-out"; exit 1; }
grep -q '^hang_probe: printed before the time-out$' <<<"$output" \
  || { echo "FAIL: the line printed before the time-out is not in ctest's output"; exit 1; }
echo "PASS: a timed-out program's output reaches ctest"
