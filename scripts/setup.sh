#!/usr/bin/env bash
# Installs what the build needs on a Debian machine: apt packages, the
# cross-built Berkeley DB (cached outside the tree) and nothing else.
# Safe to run again: every step checks before it acts.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)

packages=(
  make cmake g++ pkg-config python3
  clang libclang-rt-dev
  g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
  wine64 wine fonts-wine xvfb x11-apps imagemagick fonts-wqy-microhei
  googletest libdb5.3-dev db5.3-util
  libasio-dev libcpp-httplib-dev libcli11-dev dpkg-dev
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  [ "$(id -u)" = 0 ] || { echo "setup: need root to install: ${missing[*]}" >&2; exit 1; }
  echo "setup: installing ${missing[*]}"
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

"$here/build-db.sh"
