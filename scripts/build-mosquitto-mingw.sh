#!/usr/bin/env bash
# build-mosquitto-mingw.sh [DIR]
# Debian has no mingw build of an MQTT client, so tolsa-bridge.exe links a
# static libmosquitto built here from Debian's own mosquitto source package
# with the project's mingw-w64 toolchain (posix threads). Only the static
# client library builds: the shared target hard-codes a C:\pthreads path.
# No TLS: the Windows bridge refuses mqtts:// (see README).
# Installs into DIR/install (default build/mosquitto-mingw); does nothing
# when that install is already there.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
dir=${1:-$root/build/mosquitto-mingw}
mkdir -p "$dir"; dir=$(cd "$dir" && pwd)
prefix=$dir/install
version=2.0.11
if [ -f "$prefix/lib/libmosquitto_static.a" ] && [ -f "$prefix/include/mosquitto.h" ]; then
  echo "$prefix"; exit 0
fi
src=$(bash "$root/scripts/fetch-debian-source.sh" mosquitto "$dir" "$version")
cmake -S "$src" -B "$dir/build" -G Ninja \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
  -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" \
  -DWITH_BROKER=OFF -DWITH_APPS=OFF -DWITH_PLUGINS=OFF -DWITH_TLS=OFF -DWITH_CJSON=OFF \
  -DDOCUMENTATION=OFF -DWITH_STATIC_LIBRARIES=ON -DWITH_PIC=ON >&2
cmake --build "$dir/build" --target libmosquitto_static -j2 >&2
mkdir -p "$prefix/lib" "$prefix/include"
cp "$dir/build/lib/libmosquitto_static.a" "$prefix/lib/"
cp "$src/include/mosquitto.h" "$src/include/mqtt_protocol.h" "$prefix/include/"
echo "$prefix"
