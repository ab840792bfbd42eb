#!/usr/bin/env bash
# Runs the Sparkplug benchmark once, briefly, so it never rots: NDATA encode
# and publish per changed variable against the plain topics, through a real
# mosquitto. The figures are not judged here (a shared machine is noisy).
set -euo pipefail
cd "$(dirname "$0")/../.."
build="${BENCH_BUILD_DIR:-build/native}"
cmake --build "$build" --target tolsa_bench_sparkplug
bash bench/sparkplug-bench.sh "$build" --quick
