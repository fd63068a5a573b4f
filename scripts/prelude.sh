# Sourced by the runners: the build folder from $1, the Wine environment and
# a ready prefix. Sets `build` and `here`.
build=$(cd "${1:-build}" && pwd)
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
export SMSUTIL_BUILD=$build
source "$here/wine-env.sh"
"$here/wine-prefix.sh" || exit 1
