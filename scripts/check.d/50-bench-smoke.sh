#!/usr/bin/env bash
# Builds the benchmarks and runs each with --quick (three short rounds), so
# that they never rot. The figures are not judged here: scripts/bench.sh
# does that. Runs inside scripts/isolated.sh (from run-tests.sh).
set -euo pipefail
cd "$(dirname "$0")/../.."
[ "${TOLSA_ISOLATED:-}" = 1 ] || { echo "50-bench-smoke.sh: run through scripts/isolated.sh" >&2; exit 2; }
build="${BENCH_BUILD_DIR:-build/native}"
cmake --build "$build" --target tolsa_bench_access tolsa_bench_pingpong tolsa_bench_startup
bin="$build/bin"
out=$(mktemp -d)
trap 'rm -rf "$out"; rm -f /kestor/* /dev/shm/tolsavariables*' EXIT
rm -f /kestor/* /dev/shm/tolsavariables*
"$bin/tolsa_bench_startup" --write-definitions /kestor/ 1000
mkdir "$out/run-1"
"$bin/tolsa_bench_access" --quick --json "$out/run-1/access.json"
"$bin/tolsa_bench_pingpong" --quick --json "$out/run-1/pingpong.json"
"$bin/tolsa_bench_startup" --quick --json "$out/run-1/startup.json"
# The web view's: the server, the feeder and a headless chromium, briefly.
cmake --build "$build" --target tolsa tolsa_bench_serve_feeder
rm -f /kestor/* /dev/shm/tolsavariables*
node bench/serve-bench.mjs "$build" --quick --json "$out/run-1/serve.json" >"$out/serve.log" || { cat "$out/serve.log" >&2; exit 1; }
# The report reads what the programs wrote, as scripts/bench.sh does.
python3 bench/report.py run "$out/run-1" >/dev/null
python3 bench/report.py repeat "$out/run-1.json" >/dev/null
