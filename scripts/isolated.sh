#!/usr/bin/env bash
# Runs a command in a private mount namespace with fresh tmpfs mounts on
# /kestor and /dev/shm, so that nothing it does reaches the machine's real
# definition files, log or shared area. Needs root (CI runs as root).
set -euo pipefail
if [ "${TOLSA_ISOLATED:-}" != 1 ]; then
  created=""
  if [ ! -d /kestor ]; then mkdir /kestor; created=1; fi  # an empty mount point only
  status=0
  TOLSA_ISOLATED=1 unshare --mount --propagation private "$0" "$@" || status=$?
  if [ -n "$created" ]; then rmdir /kestor 2>/dev/null || true; fi
  exit "$status"
fi
mount -t tmpfs -o mode=0755 tolsa-kestor /kestor
mount -t tmpfs -o mode=1777 tolsa-shm /dev/shm
exec "$@"
