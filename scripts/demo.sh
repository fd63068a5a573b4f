#!/usr/bin/env bash
# The main job: the host loads the plugin, logs an account in and shows what
# the plugin registered. Screenshots go to build/demo/.
set -uo pipefail
build=$(cd "${1:-build}" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
export SMSUTIL_BUILD=$build
source "$here/wine-env.sh"
"$here/wine-prefix.sh" || exit 1

demo=$build/demo
mkdir -p "$demo"
cd "$build/win/bin"
"$here/wine-run" smshost.exe --account 10001 --data "$demo/data/10001" --seconds 2 | tr -d '\r'
