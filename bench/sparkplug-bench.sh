#!/usr/bin/env bash
# Runs tolsa_bench_sparkplug against a mosquitto on a free port of 127.0.0.1,
# started here and stopped at the end.
# Usage: bench/sparkplug-bench.sh [BUILD_DIR] [harness arguments...]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build/native}; shift || true
work=$(mktemp -d /tmp/tolsa-sparkplug-bench.XXXXXX)
chmod 0755 "$work"
broker=''
trap '[ -n "$broker" ] && kill "$broker" 2>/dev/null; wait 2>/dev/null; rm -rf "$work"' EXIT
port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')
printf 'listener %s 127.0.0.1\nallow_anonymous true\npersistence false\n' "$port" >"$work/mosquitto.conf"
mosquitto -c "$work/mosquitto.conf" >"$work/mosquitto.log" 2>&1 &
broker=$!
for i in $(seq 100); do (exec 3<>/dev/tcp/127.0.0.1/$port) 2>/dev/null && break; sleep 0.05; done
TOLSA_BENCH_BROKER_PORT=$port "$build/bin/tolsa_bench_sparkplug" "$@"
