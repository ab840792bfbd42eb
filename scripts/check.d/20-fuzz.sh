#!/usr/bin/env bash
# Builds the fuzz targets for libFuzzer with clang 14 (address and undefined
# behaviour sanitizers on) and fuzzes each for a bounded time, starting from
# the committed seed corpus. Any crash, sanitizer report or failed check fails.
set -euo pipefail
cd "$(dirname "$0")/../.."
seconds=${TOLSA_FUZZ_SECONDS:-30}
jobs=${TOLSA_JOBS:-2}

build=build/fuzz
flags="-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer"
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTOLSA_FUZZ=ON -DTOLSA_BUILD_TESTS=OFF \
  -DCMAKE_CXX_COMPILER=clang++-14 -DCMAKE_C_COMPILER=clang-14 "-DCMAKE_CXX_FLAGS=$flags" "-DCMAKE_C_FLAGS=$flags" \
  "-DCMAKE_EXE_LINKER_FLAGS=-fsanitize=address,undefined" >/dev/null
cmake --build "$build" -j"$jobs" --target tolsa_fuzz_startup tolsa_fuzz_index

for target in startup index; do
  # New inputs go to a scratch corpus; the committed seeds are only read.
  work=$(mktemp -d)
  artifacts="$build/artifacts-$target/"
  mkdir -p "$artifacts"
  echo "== fuzzing $target for ${seconds}s"
  status=0
  "$build/bin/tolsa_fuzz_$target" -max_total_time="$seconds" -max_len="$([ "$target" = startup ] && echo 4096 || echo 2048)" -timeout=20 -rss_limit_mb=2048 \
    -print_final_stats=1 -artifact_prefix="$artifacts" "$work" "fuzz/corpus/$target" 2>&1 | tail -n 25 || status=$?
  rm -rf "$work"
  if [ "$status" -ne 0 ] || compgen -G "$artifacts*" >/dev/null; then
    echo "20-fuzz.sh: $target failed; reproducers in $artifacts" >&2
    exit 1
  fi
done
