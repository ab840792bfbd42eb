#!/usr/bin/env bash
# Installs what is needed, builds both targets and runs every test, natively
# and under wine, inside a private mount namespace.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
exec scripts/isolated.sh scripts/run-tests.sh
