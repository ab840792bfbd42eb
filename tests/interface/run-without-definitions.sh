#!/usr/bin/env bash
# Runs a program (and its emulator, if any) with no definition files, so that
# the library it loads publishes nothing. Only inside scripts/isolated.sh,
# where /kestor is a private tmpfs.
set -euo pipefail
if [ "${TOLSA_ISOLATED:-}" != 1 ] || [ "$(stat -f -c %T /kestor 2>/dev/null)" != tmpfs ]; then
  echo "run the tests through scripts/isolated.sh: /kestor must be a private tmpfs" >&2
  exit 2
fi
rm -f /kestor/iorsh.mem /kestor/memsh.mem
exec "$@"
