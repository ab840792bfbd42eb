#!/usr/bin/env bash
# build-nanopb-mingw.sh [DIR]
# Debian has no mingw build of the nanopb runtime, so tolsa-bridge.exe links
# a static one built here from Debian's own nanopb source package (the same
# version as the generator) with the project's mingw-w64 toolchain.
# Installs into DIR/install (default build/nanopb-mingw); does nothing when
# that install is already there.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
dir=${1:-$root/build/nanopb-mingw}
mkdir -p "$dir"; dir=$(cd "$dir" && pwd)
prefix=$dir/install
version=$(dpkg-query -W -f '${Version}' nanopb 2>/dev/null | sed 's/-[^-]*$//')
[ -n "$version" ] || { echo "$0: Debian's nanopb (the generator) is not installed" >&2; exit 1; }
if [ -f "$prefix/lib/libprotobuf-nanopb.a" ] && [ -f "$prefix/include/pb.h" ]; then
  echo "$prefix"; exit 0
fi
src=$(bash "$root/scripts/fetch-debian-source.sh" "nanopb=$(dpkg-query -W -f '${Version}' nanopb)" "$dir" "$version")
cmake -S "$src" -B "$dir/build" -G Ninja \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
  -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" \
  -Dnanopb_BUILD_GENERATOR=OFF -Dnanopb_BUILD_RUNTIME=ON -DBUILD_SHARED_LIBS=OFF -DBUILD_STATIC_LIBS=ON \
  -Dnanopb_MSVC_STATIC_RUNTIME=OFF >&2
cmake --build "$dir/build" -j2 >&2
mkdir -p "$prefix/lib" "$prefix/include"
cp "$(find "$dir/build" -name 'libprotobuf-nanopb.a' | head -n 1)" "$prefix/lib/"
cp "$src"/pb.h "$src"/pb_common.h "$src"/pb_decode.h "$src"/pb_encode.h "$prefix/include/"
echo "$prefix"
