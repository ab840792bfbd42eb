#!/usr/bin/env bash
# Packaging: installs the native and the Windows build into staging prefixes
# and builds examples/consumer against them the ways users do: find_package
# and pkg-config on Linux; find_package with mingw, run under wine. Makes the
# .deb, checks what it unpacks to and builds the consumer against that
# unpacked tree (which proves both package files relocatable). Makes the
# .zip, checks its listing against the expected set and links against the
# unpacked SDK: pkg-config with mingw, tolsa64.lib with mingw and with
# lld-link. Runs inside scripts/isolated.sh; TOLSA_PACKAGING_NATIVE_BUILD,
# TOLSA_PACKAGING_WINDOWS_BUILD and TOLSA_PACKAGING_WORK choose other build
# and scratch directories than build/native, build/windows, build/packaging.
# shellcheck disable=SC2015  # "check && ok || fail": ok never fails
set -euo pipefail
cd "$(dirname "$0")/../.."
[ "${TOLSA_ISOLATED:-}" = 1 ] || { echo "60-packaging.sh: run through scripts/isolated.sh" >&2; exit 2; }

native=${TOLSA_PACKAGING_NATIVE_BUILD:-build/native}
windows=${TOLSA_PACKAGING_WINDOWS_BUILD:-build/windows}
work=${TOLSA_PACKAGING_WORK:-build/packaging}
export TOLSA_WINEPREFIX="${TOLSA_WINEPREFIX:-$PWD/build/wineprefix}"
rm -rf "$work" && mkdir -p "$work" && work=$(cd "$work" && pwd)
mingw_gcc=x86_64-w64-mingw32-gcc-posix
version=4.0.0
failures=0

fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
ok() { echo "ok: $*"; }

# The files of an installed tree, one relative path a line, symlinks included.
listing() { (cd "$1" && find . \( -type f -o -type l \) | sed 's|^\./||' | LC_ALL=C sort); }
expect_listing() {  # label, root, expected paths...
  local label=$1 root=$2; shift 2
  local want; want=$(printf '%s\n' "$@" | LC_ALL=C sort)
  if diff <(echo "$want") <(listing "$root") >"$work/diff.txt"; then ok "$label: $# files as expected"
  else fail "$label: files differ (< expected, > found):"; cat "$work/diff.txt" >&2; fi
}
build_type() { sed -n 's/^CMAKE_BUILD_TYPE:STRING=//p' "$1/CMakeCache.txt" | tr '[:upper:]' '[:lower:]'; }
has_tool() { [ -f tools/CMakeLists.txt ]; }

# Every consumer run sees the same three variables in a fresh area, and
# leaves none behind for the steps after this one; each run writes its own
# value, so a value left in the area by an earlier run cannot pass for it.
clean_area() { rm -f /kestor/iorsh.mem /kestor/memsh.mem /kestor/tolsa_log.txt /dev/shm/tolsavariables /dev/shm/tolsavariables.guard; }
clean_area
trap clean_area EXIT
printf 'Speed=L\nLabel=$ shown by the consumer\n' >/kestor/iorsh.mem
printf '[Section]\nMode=W\n' >/kestor/memsh.mem
run_consumer() {  # label, value, command...
  local label=$1 value=$2; shift 2
  local out status=0
  out=$("$@" "$value" 2>&1 | tr -d '\r') || status=$?
  local want
  want=$(printf '3 variables, 328 bytes each\n0 IORSH_Speed L 4\n1 IORSH_Label $ 63\n2 MEMSH_Mode W 2\nIORSH_Speed = %s' "$value")
  if [ "$status" = 0 ] && [ "$out" = "$want" ]; then ok "$label: consumer ran"
  else fail "$label: consumer exited $status with:"; echo "$out" >&2; fi
}

# ---- Linux ---------------------------------------------------------------
linux_files() {  # the installed files under a prefix
  local bt=$1
  echo include/tolsa.h lib/libtolsa64.so lib/libtolsa64.so.4 lib/libtolsa64.so.$version \
    lib/pkgconfig/tolsa64.pc lib/cmake/tolsa/tolsaConfig.cmake lib/cmake/tolsa/tolsaConfigVersion.cmake \
    lib/cmake/tolsa/tolsaTargets.cmake "lib/cmake/tolsa/tolsaTargets-$bt.cmake"
  if has_tool; then echo bin/tolsa; fi
}
check_linux_tree() {  # label, prefix
  local label=$1 prefix=$2
  # shellcheck disable=SC2046
  expect_listing "$label" "$prefix" $(linux_files "$(build_type "$native")")
  local link1 link2 soname
  link1=$(readlink "$prefix/lib/libtolsa64.so" || true)
  link2=$(readlink "$prefix/lib/libtolsa64.so.4" || true)
  soname=$(readelf -d "$prefix/lib/libtolsa64.so.$version" | sed -n 's/.*(SONAME).*\[\(.*\)\]/\1/p')
  if [ "$link1" = libtolsa64.so.4 ] && [ "$link2" = libtolsa64.so.$version ] && [ "$soname" = libtolsa64.so.4 ] \
     && [ -f "$prefix/lib/libtolsa64.so.$version" ] && [ ! -L "$prefix/lib/libtolsa64.so.$version" ]; then
    ok "$label: libtolsa64.so -> .so.4 -> .so.$version, soname $soname"
  else fail "$label: symlinks '$link1' '$link2', soname '$soname'"; fi
  if has_tool; then
    local runpath; runpath=$(readelf -d "$prefix/bin/tolsa" | sed -n 's/.*(RUNPATH).*\[\(.*\)\]/\1/p')
    # shellcheck disable=SC2016  # a literal $ORIGIN
    [ "$runpath" = '$ORIGIN/../lib' ] && ok "$label: tolsa finds ../lib" || fail "$label: tolsa runpath '$runpath'"
  fi
}
build_linux_consumers() {  # label, prefix, first value
  local label=$1 prefix=$2 value=$3 dir=$work/$1
  if cmake -S examples/consumer -B "$dir/cmake" -G Ninja -DCMAKE_PREFIX_PATH="$prefix" >"$dir.log" 2>&1 \
     && cmake --build "$dir/cmake" >>"$dir.log" 2>&1; then
    if grep -q 'NEEDED.*\[libtolsa64.so.4\]' <<<"$(readelf -d "$dir/cmake/consumer")"; then ok "$label find_package: links libtolsa64.so.4"
    else fail "$label find_package: consumer does not need libtolsa64.so.4"; fi
    run_consumer "$label find_package" "$value" "$dir/cmake/consumer"
  else fail "$label find_package: build failed"; cat "$dir.log" >&2; fi
  local pc=(env PKG_CONFIG_PATH="$prefix/lib/pkgconfig" PKG_CONFIG_LIBDIR=/nonexistent pkg-config)
  local modversion libdir flags
  modversion=$("${pc[@]}" --modversion tolsa64 || true)
  [ "$modversion" = $version ] && ok "$label pkg-config: version $modversion" || fail "$label pkg-config: version '$modversion'"
  libdir=$("${pc[@]}" --variable=libdir tolsa64 || true)
  [ "$(realpath -m "$libdir")" = "$(realpath "$prefix/lib")" ] || fail "$label pkg-config: libdir '$libdir' is not under $prefix"
  flags=$("${pc[@]}" --cflags --libs tolsa64 || true)
  # shellcheck disable=SC2086
  if cc -std=c99 -Wall -Wextra -Wpedantic -Werror examples/consumer/consumer.c $flags -Wl,-rpath,"$libdir" \
       -o "$dir/consumer-pc" 2>"$dir-pc.log"; then
    run_consumer "$label pkg-config" $((value + 1)) "$dir/consumer-pc"
  else fail "$label pkg-config: build failed"; cat "$dir-pc.log" >&2; fi
  if has_tool; then  # the installed tool runs from where it lies; the consumers have ended, so no area is held
    local out status=0; out=$("$prefix/bin/tolsa" list 2>&1) || status=$?
    [ "$status" = 3 ] && grep -q 'no process has the variables mapped' <<<"$out" \
      && ok "$label tolsa: runs, and finds no area held" || fail "$label tolsa list exited $status with: $out"
  fi
}

cmake --install "$native" --prefix "$work/stage/native" >/dev/null
check_linux_tree "installed native tree" "$work/stage/native"
build_linux_consumers native-stage "$work/stage/native" 101

# find_package(tolsa X) matches when X has major version 4 and is not newer
# than 4.0.0.
dir=$work/version before=$failures
for case in 4:yes 4.0:yes 4.0.0:yes 3:no 3.9:no 4.1:no 5:no; do
  wanted=${case%%:*} expected=${case#*:} found=no
  cmake -S examples/consumer -B "$dir" -G Ninja -DCMAKE_PREFIX_PATH="$work/stage/native" \
    -DTOLSA_WANTED_VERSION="$wanted" >/dev/null 2>&1 && found=yes
  [ "$found" = "$expected" ] || fail "find_package(tolsa $wanted): found=$found, expected $expected"
done
[ "$failures" = "$before" ] && ok "find_package version table"

# The .deb: contents, control fields, the soname's shlibs and ldconfig.
(cd "$native" && cpack -G DEB -B "$work/deb" >"$work/cpack-deb.log" 2>&1) || { fail "cpack DEB"; cat "$work/cpack-deb.log" >&2; }
deb=$work/deb/tolsa_${version}_$(dpkg --print-architecture).deb
if [ -f "$deb" ]; then
  [ "$(dpkg-deb -f "$deb" Package Version | tr '\n' ' ')" = "Package: tolsa Version: $version " ] \
    && ok ".deb: package tolsa $version" || fail ".deb: control $(dpkg-deb -f "$deb" Package Version)"
  depends=$(dpkg-deb -f "$deb" Depends)
  grep -q 'libc6 (>= ' <<<"$depends" && grep -q 'libstdc++6 (>= ' <<<"$depends" && ok ".deb: depends on $depends" \
    || fail ".deb: Depends is '$depends'"
  dpkg -e "$deb" "$work/deb-control"
  grep -qx "libtolsa64 4 tolsa (>= $version)" "$work/deb-control/shlibs" && ok ".deb: shlibs libtolsa64 4" \
    || fail ".deb: shlibs is '$(cat "$work/deb-control/shlibs" 2>/dev/null)'"
  grep -qs ldconfig "$work/deb-control/postinst" && grep -qs ldconfig "$work/deb-control/postrm" \
    && ok ".deb: runs ldconfig" || fail ".deb: postinst or postrm does not run ldconfig"
  dpkg -x "$deb" "$work/deb-root"
  stray=$(listing "$work/deb-root" | grep -v '^usr/' || true)
  [ -z "$stray" ] || fail ".deb: files outside /usr: $stray"
  check_linux_tree ".deb /usr" "$work/deb-root/usr"
  # Unpacked away from /usr: both package files must find the tree from where they are.
  build_linux_consumers deb-root "$work/deb-root/usr" 111
else fail "no $deb"; fi

# ---- Windows -------------------------------------------------------------
wbt=$(build_type "$windows")
windows_files=(README-windows.txt bin/tolsa64.dll include/tolsa.h lib/libtolsa64.dll.a lib/tolsa64.lib lib/tolsa64.def
  lib/pkgconfig/tolsa64.pc lib/cmake/tolsa/tolsaConfig.cmake lib/cmake/tolsa/tolsaConfigVersion.cmake
  lib/cmake/tolsa/tolsaTargets.cmake "lib/cmake/tolsa/tolsaTargets-$wbt.cmake")
if has_tool; then windows_files+=(bin/tolsa.exe); fi

cmake --install "$windows" --prefix "$work/stage/windows" >/dev/null
expect_listing "installed Windows tree" "$work/stage/windows" "${windows_files[@]}"

# tolsa64.lib: an import library of tolsa64.dll with exactly the .def's exports.
lib=$work/stage/windows/lib/tolsa64.lib
want_exports=$(sed -n 's/^    \([A-Za-z][A-Za-z0-9_]*\).*/\1/p' src/tolsa64.def | LC_ALL=C sort)
got_exports=$(x86_64-w64-mingw32-nm "$lib" | sed -n 's/.* I __imp_\(.*\)/\1/p' | LC_ALL=C sort)
if [ "$want_exports" = "$got_exports" ] && [ "$(echo "$got_exports" | wc -l)" = 51 ]; then ok "tolsa64.lib: the 51 exports"
else fail "tolsa64.lib: exports differ from tolsa64.def"; diff <(echo "$want_exports") <(echo "$got_exports") >&2 || true; fi
grep -aq 'tolsa64\.dll' "$lib" || fail "tolsa64.lib: does not name tolsa64.dll"

dir=$work/windows-stage
if cmake -S examples/consumer -B "$dir" -G Ninja --toolchain "$PWD/cmake/mingw-w64-x86_64.cmake" \
     -Dtolsa_DIR="$work/stage/windows/lib/cmake/tolsa" >"$dir.log" 2>&1 && cmake --build "$dir" >>"$dir.log" 2>&1; then
  grep -q 'DLL Name: tolsa64.dll' <<<"$(x86_64-w64-mingw32-objdump -p "$dir/consumer.exe")" || fail "consumer.exe does not import tolsa64.dll"
  run_consumer "windows find_package" 201 scripts/wine-run.sh "$dir/consumer.exe"
else fail "windows find_package: build failed"; cat "$dir.log" >&2; fi

# The .zip, then the consumer against the unpacked archive: with its
# pkg-config file and -ltolsa64 (libtolsa64.dll.a), and with tolsa64.lib.
(cd "$windows" && cpack -G ZIP -B "$work/zip" >"$work/cpack-zip.log" 2>&1) || { fail "cpack ZIP"; cat "$work/cpack-zip.log" >&2; }
zip=$work/zip/tolsa-$version-win64.zip
if [ -f "$zip" ]; then
  want=$(printf "tolsa-$version-win64/%s\n" "${windows_files[@]}" | LC_ALL=C sort)
  got=$(unzip -Z1 "$zip" | grep -v '/$' | LC_ALL=C sort)
  if [ "$want" = "$got" ]; then ok ".zip: ${#windows_files[@]} files as expected"
  else fail ".zip: files differ (< expected, > found):"; diff <(echo "$want") <(echo "$got") >&2 || true; fi
  unzip -q "$zip" -d "$work/zip-root"
  sdk=$work/zip-root/tolsa-$version-win64
  mkdir -p "$work/windows-zip" && cp "$sdk/bin/tolsa64.dll" "$work/windows-zip/"
  flags=$(PKG_CONFIG_PATH="$sdk/lib/pkgconfig" PKG_CONFIG_LIBDIR=/nonexistent pkg-config --cflags --libs tolsa64 || true)
  # shellcheck disable=SC2086
  if $mingw_gcc -std=c99 -Wall -Wextra -Wpedantic -Werror examples/consumer/consumer.c $flags \
       -o "$work/windows-zip/consumer-pc.exe" 2>"$work/windows-zip-pc.log"; then
    run_consumer "windows pkg-config" 211 scripts/wine-run.sh "$work/windows-zip/consumer-pc.exe"
  else fail "windows pkg-config: build failed"; cat "$work/windows-zip-pc.log" >&2; fi
  if $mingw_gcc -std=c99 -Wall -Wextra -Wpedantic -Werror -I"$sdk/include" examples/consumer/consumer.c \
       "$sdk/lib/tolsa64.lib" -o "$work/windows-zip/consumer-lib.exe" 2>"$work/windows-zip-lib.log"; then
    run_consumer "windows tolsa64.lib" 221 scripts/wine-run.sh "$work/windows-zip/consumer-lib.exe"
  else fail "windows tolsa64.lib: build failed"; cat "$work/windows-zip-lib.log" >&2; fi
  # An MSVC-style link (clang for the msvc target, lld-link) against
  # tolsa64.lib; no C runtime, so the entry point's result is the exit code.
  cat >"$work/windows-zip/probe.c" <<'PROBE'
__declspec(dllimport) int TolsaGetItemSize(void);
__declspec(dllimport) int TolsaGetNumberOfItems(void);
__declspec(dllimport) int IORShGetSizeVarName(const char *name);
int mainCRTStartup(void) {
    if (TolsaGetItemSize() != 328) return 2;
    if (TolsaGetNumberOfItems() != 3) return 3;
    return IORShGetSizeVarName("Speed") == 4 ? 0 : 4;
}
PROBE
  status=0
  if clang-14 --target=x86_64-pc-windows-msvc -O1 -c "$work/windows-zip/probe.c" -o "$work/windows-zip/probe.obj" \
     && lld-link-14 /nologo /entry:mainCRTStartup /subsystem:console /nodefaultlib "$work/windows-zip/probe.obj" \
          "$sdk/lib/tolsa64.lib" /out:"$work/windows-zip/probe.exe" >"$work/windows-zip-msvc.log" 2>&1; then
    scripts/wine-run.sh "$work/windows-zip/probe.exe" || status=$?
    [ "$status" = 0 ] && ok "windows lld-link with tolsa64.lib: probe ran" || fail "windows lld-link probe exited $status"
  else fail "windows lld-link with tolsa64.lib: build failed"; cat "$work/windows-zip-msvc.log" >&2; fi
  if has_tool; then
    # No process holds the area once the probes have ended.
    status=0; out=$(scripts/wine-run.sh "$sdk/bin/tolsa.exe" list 2>&1 | tr -d '\r') || status=$?
    [ "$status" = 3 ] && grep -q 'no process has the variables mapped' <<<"$out" \
      && ok "windows tolsa.exe: runs, and finds no area held" || fail "windows tolsa.exe list exited $status with: $out"
  fi
else fail "no $zip"; fi

if [ "$failures" -gt 0 ]; then echo "60-packaging: $failures failure(s)" >&2; exit 1; fi
echo "60-packaging: all passed"
