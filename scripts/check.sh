#!/usr/bin/env bash
# Installs what is needed, builds both targets and runs every test, natively
# and under wine, inside a private mount namespace.
set -euo pipefail
# Needs root (packages, namespaces, mounts): anyone else re-runs it through sudo.
if [ "$(id -u)" != 0 ]; then
  command -v sudo >/dev/null || { echo "$0: run it as root (there is no sudo here)" >&2; exit 1; }
  exec sudo bash "$0" "$@"
fi
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
exec scripts/isolated.sh scripts/run-tests.sh
