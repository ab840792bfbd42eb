#!/usr/bin/env bash
# The first thing to run. An example producer (examples/producer.c) writes a
# counter, a level and a status text through the library; `tolsa watch`, a
# second process, shows them change for a few seconds; `tolsa set` changes a
# setting, `tolsa list` shows every variable and `tolsa record` samples them
# into a CSV file. The tool attaches to the producer's area without starting
# up, so the producer's log stays as it was. It all runs in a private
# mount namespace with its own /kestor and /dev/shm, so the machine's real
# definition files, log and shared area are never touched.
# TOLSA_DEMO_BUILD_DIR picks the build (build/native by default).
set -euo pipefail
cd "$(dirname "$0")/.."
build="${TOLSA_DEMO_BUILD_DIR:-build/native}"

build_demo() {
  local log
  log=$(mktemp)
  echo "building the library, the tolsa tool and the example producer in $build ..."
  if ! { [ -f "$build/CMakeCache.txt" ] || cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo; } >"$log" 2>&1 ||
     ! cmake --build "$build" --target tolsa tolsa_producer >>"$log" 2>&1; then
    cat "$log"; rm -f "$log"; exit 1
  fi
  rm -f "$log"
}

if [ "${TOLSA_ISOLATED:-}" != 1 ]; then
  bash scripts/install-deps.sh
  build_demo
  TOLSA_DEMO_BUILT=1 exec scripts/isolated.sh "$0" "$@"
fi
# Started inside a namespace already (CI): build here, normally a no-op.
[ "${TOLSA_DEMO_BUILT:-}" = 1 ] || build_demo

tolsa="$build/bin/tolsa"
cp examples/kestor/iorsh.mem examples/kestor/memsh.mem /kestor/
echo "definition files in /kestor (a private tmpfs):"
grep -H '=' /kestor/iorsh.mem /kestor/memsh.mem | sed 's/^/  /'

"$build/bin/producer" --interval 200 &
producer=$!
trap 'kill -INT "$producer" 2>/dev/null || true; wait "$producer" 2>/dev/null || true' EXIT
# The producer is running once its counter moves; the area lives while it does.
for _ in $(seq 50); do
  kill -0 "$producer" 2>/dev/null || { echo "the producer ended early" >&2; exit 1; }
  counter=$("$tolsa" get IORSH_Counter 2>/dev/null) && [ "$counter" != 0 ] && break
  sleep 0.1
done

log_before=$(sha256sum </kestor/tolsa_log.txt)

echo
echo "== producer (pid $producer) writes IORSH_Counter, IORSH_Level, IORSH_Status every 200 ms"
echo "== \$ tolsa watch 'IORSH_*' --interval 500 --count 8     (another process; '*' marks a change)"
"$tolsa" watch 'IORSH_*' --interval 500 --count 8
echo
echo "== \$ tolsa set MEMSH_Setpoint 42.5 && tolsa set MEMSH_Label 'set from the shell'"
"$tolsa" set MEMSH_Setpoint 42.5
"$tolsa" set MEMSH_Label 'set from the shell'
echo "== \$ tolsa list"
"$tolsa" list
echo
echo "== \$ tolsa set MEMSH_Mode 70000     (refused: W holds 0 to 65535)"
status=0
"$tolsa" set MEMSH_Mode 70000 || status=$?
echo "exit status $status"
echo
echo "== \$ tolsa record 'IORSH_*' --output /kestor/run.csv --duration 1 --interval 250 && head -4 /kestor/run.csv"
"$tolsa" record 'IORSH_*' --output /kestor/run.csv --duration 1 --interval 250
head -4 /kestor/run.csv
echo
echo "== the producer's log after all of that (the tool never starts up, so it never rewrites the log):"
if [ "$(sha256sum </kestor/tolsa_log.txt)" = "$log_before" ]; then
  echo "unchanged: $(head -1 /kestor/tolsa_log.txt), $(wc -l </kestor/tolsa_log.txt) lines, as the producer wrote it"
else
  echo "the log changed" >&2; exit 1
fi

kill -INT "$producer"
wait "$producer"
trap - EXIT
echo
echo "producer stopped; the area is gone with the last process that mapped it:"
echo "== \$ tolsa list"
status=0
"$tolsa" list || status=$?
echo "exit status $status"
echo "Try the tool yourself: $tolsa --help"
