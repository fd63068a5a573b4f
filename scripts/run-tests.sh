#!/usr/bin/env bash
# Runs every test: one Xvfb display and one persistent wineserver for the
# whole run, both ended with it whatever happens.
set -uo pipefail
build=$(cd "${1:-build}" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
export SMSUTIL_BUILD=$build
source "$here/wine-env.sh"
"$here/wine-prefix.sh" || exit 1

display=
for n in $(seq 90 140); do
  if [ ! -e /tmp/.X11-unix/X$n ] && [ ! -e /tmp/.X$n-lock ]; then display=$n; break; fi
done
[ -n "$display" ] || { echo "run-tests: no free X display" >&2; exit 1; }
Xvfb ":$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
cleanup() {
  wineserver -k >/dev/null 2>&1
  kill "$xvfb" >/dev/null 2>&1
  wait "$xvfb" 2>/dev/null
}
trap cleanup EXIT
for _ in $(seq 50); do [ -e /tmp/.X11-unix/X$display ] && break; sleep 0.1; done
export SMSUTIL_DISPLAY=:$display
wineserver -p

status=0
if [ -f "$build/native/CTestTestfile.cmake" ]; then
  ctest --test-dir "$build/native" --output-on-failure -j 2 || status=1
fi
ctest --test-dir "$build/win" --output-on-failure -j 2 || status=1
exit $status
