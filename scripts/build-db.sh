#!/usr/bin/env bash
# Cross-builds Berkeley DB 5.3 as a static MinGW-w64 library from Debian's
# source package and caches it outside the build tree, keyed by version.
# `build-db.sh --prefix` prints where the library is (or will be) and builds
# nothing: CMake asks it, so the cache's place is named here alone.
set -euo pipefail
version=5.3.28
cache=${SMSUTIL_CACHE:-$HOME/.cache/smsutil}
prefix=$cache/db-$version-mingw64
if [ "${1:-}" = --prefix ]; then
  echo "$prefix"
  exit 0
fi
if [ -f "$prefix/lib/libdb.a" ] && [ -f "$prefix/include/db.h" ]; then
  exit 0
fi

work=$cache/db-src
mkdir -p "$work"
cd "$work"
if ! ls -d db5.3-*/ >/dev/null 2>&1; then
  if ! apt-get source --download-only db5.3 >/dev/null 2>&1; then
    # apt needs a deb-src entry; mirror the existing deb entries instead of
    # naming a mirror here.
    for f in /etc/apt/sources.list.d/*.sources; do
      [ -f "$f" ] || continue
      grep -q '^Types:.*deb-src' "$f" && continue
      grep -q '^URIs:.*debian' "$f" || continue
      out=/etc/apt/sources.list.d/smsutil-src-$(basename "$f")
      sed 's/^Types:.*/Types: deb-src/' "$f" > "$out"
    done
    if [ -f /etc/apt/sources.list ] && grep -q '^deb ' /etc/apt/sources.list; then
      grep '^deb ' /etc/apt/sources.list | sed 's/^deb /deb-src /' > /etc/apt/sources.list.d/smsutil-src.list
    fi
    apt-get update -qq
  fi
  apt-get source db5.3 >/dev/null
fi
src=$(ls -d "$work"/db5.3-*/ | head -n 1)
src=${src%/}

build=$work/build-mingw64
rm -rf "$build"
mkdir -p "$build/shim"
echo '#include <winioctl.h>' > "$build/shim/WinIoCtl.h"
cd "$build"
"$src/dist/configure" --host=x86_64-w64-mingw32 --enable-mingw \
  --disable-shared --enable-static --disable-replication \
  CC=x86_64-w64-mingw32-gcc-posix >configure.log 2>&1 \
  || { tail -n 30 configure.log; exit 1; }
make -j"$(nproc)" libdb.a CPPFLAGS="-I. -I$src/src -I$build/shim" >make.log 2>&1 \
  || { tail -n 30 make.log; exit 1; }
mkdir -p "$prefix/lib" "$prefix/include"
cp libdb.a "$prefix/lib/"
cp db.h "$prefix/include/"
echo "build-db: Berkeley DB $version for MinGW-w64 in $prefix"
