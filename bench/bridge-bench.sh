#!/usr/bin/env bash
# Runs tolsa_bench_bridge with what its broker figures need: mosquitto on a
# free port of 127.0.0.1, two private areas A and B (each its own mount and
# IPC namespace, sharing loopback) with VARIABLES 'L' variables, a bridge in
# each with --interval 1 (B mirrors A), the benchmark in A and its reader in B.
# Usage (as root): bench/bridge-bench.sh [BUILD_DIR] [harness arguments...]
# TOLSA_BENCH_VARIABLES sets the variables of a sweep (default 10000).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build/native}; shift || true
bin=$(cd "$build/bin" && pwd)
variables=${TOLSA_BENCH_VARIABLES:-10000}
work=$(mktemp -d /tmp/tolsa-bridge-bench.XXXXXX)
chmod 0755 "$work"
pids=()
trap 'for p in "${pids[@]}"; do kill -9 "$p" 2>/dev/null || true; done; wait 2>/dev/null; rm -rf "$work"' EXIT

port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')
printf 'listener %s 127.0.0.1\nallow_anonymous true\npersistence false\nmax_queued_messages 0\n' "$port" >"$work/mosquitto.conf"
mosquitto -c "$work/mosquitto.conf" >"$work/mosquitto.log" 2>&1 &
pids+=($!)
mkdir -p "$work/defs"
seq 0 $((variables - 1)) | sed 's/^/V/; s/$/=L/' >"$work/defs/iorsh.mem"
: >"$work/defs/memsh.mem"
declare -A side
for name in a b; do
  unshare --mount --ipc --propagation private bash -c '
    mount -t tmpfs kestor /kestor && mount -t tmpfs shm /dev/shm && cp "$1"/*.mem /kestor/ && : >"$2" && exec sleep 3600' \
    _ "$work/defs" "$work/$name.ready" &
  side[$name]=$!
  pids+=($!)
done
for i in $(seq 100); do [ -e "$work/a.ready" ] && [ -e "$work/b.ready" ] && break; sleep 0.05; done
for i in $(seq 100); do (exec 3<>/dev/tcp/127.0.0.1/$port) 2>/dev/null && break; sleep 0.05; done
nsenter -t "${side[a]}" -m -i -- "$bin/tolsa-bridge" --broker "mqtt://127.0.0.1:$port" --root benchA --interval 1 >"$work/a.log" 2>&1 &
pids+=($!)
bridge_a=$!
nsenter -t "${side[b]}" -m -i -- "$bin/tolsa-bridge" --broker "mqtt://127.0.0.1:$port" --root benchB --mirror benchA \
  --publish NONE --interval 1 >"$work/b.log" 2>&1 &
pids+=($!)
bridge_b=$!
sleep 1
TOLSA_BENCH_BROKER_PORT=$port TOLSA_BENCH_VARIABLES=$variables \
  TOLSA_BENCH_PARTNER="exec nsenter -t ${side[b]} -m -i -- $bin/tolsa_bench_bridge --reader" \
  nsenter -t "${side[a]}" -m -i -- "$bin/tolsa_bench_bridge" "$@"
# Where the time went: CPU seconds of each process over the whole run.
cpu() { awk -v t="$(getconf CLK_TCK)" '{printf "%.2f s", ($14 + $15) / t}' "/proc/$1/stat"; }
echo "cpu over the run: bridge A $(cpu "$bridge_a"), bridge B $(cpu "$bridge_b"), mosquitto $(cpu "${pids[0]}")"
