#!/usr/bin/env bash
# Runs the bridge's benchmarks once, briefly, so they never rot: change
# detection, and latency and throughput through a real mosquitto between two
# private areas. The figures are not judged here (a shared machine is noisy).
set -euo pipefail
cd "$(dirname "$0")/../.."
[ "${TOLSA_ISOLATED:-}" = 1 ] || { echo "55-bridge-bench.sh: run through scripts/isolated.sh" >&2; exit 2; }
build="${BENCH_BUILD_DIR:-build/native}"
cmake --build "$build" --target tolsa_bench_bridge tolsa-bridge
TOLSA_BENCH_VARIABLES=1000 bash bench/bridge-bench.sh "$build" --quick
