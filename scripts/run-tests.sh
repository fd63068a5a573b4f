#!/usr/bin/env bash
# Runs every test: one Xvfb display and one persistent wineserver for the
# whole run, both ended with it whatever happens.
set -uo pipefail
source "$(dirname "$0")/prelude.sh"

source "$here/display.sh"
start_display || exit 1

status=0
if [ -f "$build/native/CTestTestfile.cmake" ]; then
  ctest --test-dir "$build/native" --output-on-failure -j 2 || status=1
fi
ctest --test-dir "$build/win" --output-on-failure -j 2 || status=1
exit $status
