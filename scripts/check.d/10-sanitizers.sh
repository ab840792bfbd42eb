#!/usr/bin/env bash
# The unit, end-to-end (native), fuzz-replay and thread-stress tests in an
# AddressSanitizer + UndefinedBehaviorSanitizer build, then the thread stress
# under ThreadSanitizer. Any report fails. Runs inside scripts/isolated.sh.
set -euo pipefail
cd "$(dirname "$0")/../.."
[ "${TOLSA_ISOLATED:-}" = 1 ] || { echo "10-sanitizers.sh: run through scripts/isolated.sh" >&2; exit 2; }
jobs=${TOLSA_JOBS:-2}

# Reports go to files as well as failing the process that found them: an agent
# that reports while exiting would otherwise only change an exit status that
# nobody reads. The directory is world-writable for the agents run as nobody.
reports=$(mktemp -d)
chmod 1777 "$reports"
trap 'rm -rf "$reports"' EXIT
common="log_path=$reports/report:halt_on_error=1"

asan=build/sanitize-address
# -O1 -g: readable reports, and quicker to build than the release flags.
flags="-O1 -g -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer"
cmake -S . -B "$asan" -G Ninja -DCMAKE_BUILD_TYPE= -DCMAKE_CXX_COMPILER=g++ -DCMAKE_C_COMPILER=gcc \
  "-DCMAKE_CXX_FLAGS=$flags" "-DCMAKE_C_FLAGS=$flags" \
  "-DCMAKE_EXE_LINKER_FLAGS=-fsanitize=address,undefined" "-DCMAKE_SHARED_LINKER_FLAGS=-fsanitize=address,undefined" >/dev/null
cmake --build "$asan" -j"$jobs" --target tolsa_unit_tests tolsa_e2e_tests tolsa_agent tolsa64 \
  tolsa_fuzz_startup tolsa_fuzz_index tolsa_thread_stress
ASAN_OPTIONS="$common:detect_leaks=1:strict_string_checks=1:detect_stack_use_after_return=1" \
UBSAN_OPTIONS="$common:print_stacktrace=1" \
  ctest --test-dir "$asan" --output-on-failure -R '^(unit|e2e_native|fuzz_replay_.*|thread_stress)$'

tsan=build/sanitize-thread
cmake -S . -B "$tsan" -G Ninja -DCMAKE_BUILD_TYPE= -DCMAKE_CXX_COMPILER=clang++-14 -DCMAKE_C_COMPILER=clang-14 \
  "-DCMAKE_CXX_FLAGS=-O1 -g -fsanitize=thread" "-DCMAKE_EXE_LINKER_FLAGS=-fsanitize=thread" >/dev/null
cmake --build "$tsan" -j"$jobs" --target tolsa_thread_stress
TSAN_OPTIONS="$common:suppressions=$PWD/tests/tsan.supp:report_signal_unsafe=0" "$tsan/bin/tolsa_thread_stress" 3 8

if compgen -G "$reports/report*" >/dev/null; then
  echo "10-sanitizers.sh: sanitizer reports:" >&2
  cat "$reports"/report* >&2
  exit 1
fi
echo "10-sanitizers.sh: no sanitizer reports"
