#!/usr/bin/env bash
# Builds both targets and runs every test. Run it through scripts/isolated.sh.
set -euo pipefail
cd "$(dirname "$0")/.."
[ "${TOLSA_ISOLATED:-}" = 1 ] || { echo "run-tests.sh: run through scripts/isolated.sh" >&2; exit 2; }

export TOLSA_WINEPREFIX="${TOLSA_WINEPREFIX:-$PWD/build/wineprefix}"

# tolsa-bridge.exe links a static libmosquitto built from Debian's source package.
bash scripts/build-mosquitto-mingw.sh >/dev/null
# Its Sparkplug B mode links a static nanopb runtime built the same way.
bash scripts/build-nanopb-mingw.sh >/dev/null
cmake --preset windows >/dev/null
cmake --build --preset windows
cmake --preset native >/dev/null
cmake --build --preset native

ctest --preset native
ctest --preset windows

# Further checks (sanitizers, fuzzing, benchmarks, packaging) add a script here.
echo "== builds and tests of both targets: ${SECONDS}s"
for step in scripts/check.d/*.sh; do
  [ -e "$step" ] || continue
  echo "== $step"
  start=$SECONDS
  bash "$step"
  echo "== $step: $((SECONDS - start))s"
done
echo "== all checks passed in ${SECONDS}s"
