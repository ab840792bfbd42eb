#!/usr/bin/env bash
# Builds the benchmarks and runs each once for a minimal time, so that they
# never rot. The figures are not judged here: scripts/bench.sh does that.
# Runs inside scripts/isolated.sh (from run-tests.sh).
set -euo pipefail
cd "$(dirname "$0")/../.."
[ "${TOLSA_ISOLATED:-}" = 1 ] || { echo "50-bench-smoke.sh: run through scripts/isolated.sh" >&2; exit 2; }
build="${BENCH_BUILD_DIR:-build/native}"
cmake --build "$build" --target tolsa_bench_access tolsa_bench_pingpong tolsa_bench_startup
bin="$build/bin"
once=(--benchmark_min_time=0.001 --benchmark_repetitions=1)
rm -f /kestor/* /dev/shm/tolsavariables*
"$bin/tolsa_bench_startup" --write-definitions /kestor/ 1000
"$bin/tolsa_bench_access" "${once[@]}"
"$bin/tolsa_bench_pingpong" "${once[@]}"
"$bin/tolsa_bench_startup" "${once[@]}"
rm -f /kestor/* /dev/shm/tolsavariables*
