#!/usr/bin/env bash
# Builds the benchmarks and runs them all in a private mount namespace (its
# own /kestor and /dev/shm). Every comparison runs the library and its floor
# or peer in alternating blocks (bench/harness/Harness.h, harness.py and
# harness.mjs) and is judged on the p10..p90 band of its per-round ratios:
# met, NOT MET or unstable.
#
#   scripts/bench.sh [--repeat N] [--core] [--quick] [-- HARNESS OPTIONS...]
#
# The set: access by index and by name at 1,000 and 100,000 variables, the
# cross-process round trip, start-up, the Python package, the bridge and its
# Sparkplug mode through a mosquitto on 127.0.0.1, and the web view in a
# headless chromium. --core runs only the library's own (the first four).
# --repeat N runs the set N times and then prints, per target, how many runs
# met it. --quick only shows that everything runs. Options after "--" go to
# every benchmark program (--rounds N, --block-ms MS, --filter TEXT).
# Each run leaves its JSON in build/bench/results/<time>/run-K.json
# (BENCH_RESULTS sets the parent directory, BENCH_BUILD_DIR the build).
# Exit status: 0 done, 1 a benchmark failed, 2 a bad command line.
set -euo pipefail
cd "$(dirname "$0")/.."
usage() { sed -n '2,19s/^# \{0,1\}//p' "$0"; }
repeat=1
quick=()
core=()
extra=()
while [ $# -gt 0 ]; do
  case "$1" in
    --repeat)
      [[ "${2:-}" =~ ^[1-9][0-9]*$ ]] || { echo "bench.sh: --repeat wants a count of at least 1, not '${2:-}'" >&2; exit 2; }
      repeat=$2; shift 2 ;;
    --quick) quick=(--quick); shift ;;
    --core) core=(--core); shift ;;
    --help|-h) usage; exit 0 ;;
    --) shift; extra=("$@"); break ;;
    *) echo "bench.sh: unknown argument '$1' (try --help)" >&2; exit 2 ;;
  esac
done
build="${BENCH_BUILD_DIR:-build/bench}"
if [ "${TOLSA_ISOLATED:-}" != 1 ]; then
  bash scripts/install-deps.sh
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  targets=(tolsa_bench_access tolsa_bench_pingpong tolsa_bench_startup)
  [ ${#core[@]} -gt 0 ] || targets+=(tolsa64 tolsa tolsa-bridge tolsa_bench_bridge tolsa_bench_sparkplug tolsa_bench_serve_feeder)
  cmake --build "$build" -j2 --target "${targets[@]}" >/dev/null
  exec scripts/isolated.sh "$0" --repeat "$repeat" "${quick[@]}" "${core[@]}" -- "${extra[@]}"
fi
bin="$build/bin"
results="${BENCH_RESULTS:-$build/results}/$(date -u +%Y%m%dT%H%M%SZ)"
mkdir -p "$results"
results=$(cd "$results" && pwd)  # absolute: some benchmarks run in a namespace of their own
# A fresh area: no definition files, no shared memory left by the last program.
fresh_area() { rm -f /kestor/* /dev/shm/tolsavariables*; }
trap fresh_area EXIT

echo "cpu: $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ //'), $(nproc) online;" \
     "load average: $(cut -d' ' -f1-3 /proc/loadavg)" >&2
if awk '{ exit !($1 > 0.5) }' /proc/loadavg; then
  echo "note: the machine is not quiet; expect wide bands and 'unstable' verdicts" >&2
fi

# One program of a run: its table to run-K/NAME.txt, its figures to run-K/NAME.json.
bench() {
  local name=$1; shift
  echo "== $name" >&2
  "$@" "${quick[@]}" "${extra[@]}" --json "$run/$name.json" >"$run/$name.txt" || status=1
}

status=0
for k in $(seq 1 "$repeat"); do
  run="$results/run-$k"
  mkdir -p "$run"
  echo "=== run $k of $repeat" >&2
  for n in 1000 100000; do
    fresh_area  # one for each size
    "$bin/tolsa_bench_startup" --write-definitions /kestor/ "$n"
    bench "access-$n" "$bin/tolsa_bench_access"
  done
  bench pingpong "$bin/tolsa_bench_pingpong"
  bench startup "$bin/tolsa_bench_startup"
  if [ ${#core[@]} -eq 0 ]; then
    fresh_area
    bench python env TOLSA_LIBRARY="$(cd "$build/lib" && pwd)/libtolsa64.so.4" python3 bench/python/tolsa_access.py
    bench bridge bash bench/bridge-bench.sh "$build"
    bench sparkplug bash bench/sparkplug-bench.sh "$build"
    fresh_area
    bench serve node bench/serve-bench.mjs "$build"
  fi
  python3 bench/report.py run "$run"
  echo
done
if [ "$repeat" -gt 1 ]; then
  echo "=== $repeat runs: how many met each target"
  python3 bench/report.py repeat "$results"/run-*.json
fi
echo "results: $results" >&2
exit "$status"
