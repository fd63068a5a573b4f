# Sourced by every script that starts a Wine process: the build's own prefix,
# code page 936, no debug noise, no Mono or Gecko installer.
: "${SMSUTIL_BUILD:=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)/build}"
export WINEPREFIX=${SMSUTIL_WINEPREFIX:-$SMSUTIL_BUILD/wineprefix}
export WINEARCH=win64
# Wine's one virtual desktop: two clients side by side, each with its dialogs
# beside it. The prefix is made for its size.
export SMSUTIL_DESKTOP=${SMSUTIL_DESKTOP:-1600x900}
export SMSUTIL_PREFIX_READY=$WINEPREFIX/.smsutil-ready-$SMSUTIL_DESKTOP
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES="mscoree,mshtml="
# Wine takes code page 936 from the locale's name; the glibc locale need not
# exist, so it is set for Wine's own processes only (bash would warn).
wine() { command env LC_ALL=zh_CN.UTF-8 wine "$@"; }
wineboot() { command env LC_ALL=zh_CN.UTF-8 wineboot "$@"; }
wineserver() { command env LC_ALL=zh_CN.UTF-8 wineserver "$@"; }
export XDG_RUNTIME_DIR=${XDG_RUNTIME_DIR_SMSUTIL:-$SMSUTIL_BUILD/run}
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
