#!/usr/bin/env bash
# Runs a command in private mount and IPC namespaces with fresh tmpfs mounts
# on /kestor and /dev/shm, so that nothing it does reaches the machine's real
# definition files, log or shared area.
set -euo pipefail
# Needs root (packages, namespaces, mounts): anyone else re-runs it through sudo.
if [ "$(id -u)" != 0 ]; then
  command -v sudo >/dev/null || { echo "$0: run it as root (there is no sudo here)" >&2; exit 1; }
  exec sudo bash "$0" "$@"
fi
if [ "${TOLSA_ISOLATED:-}" != 1 ]; then
  # The mount point only: an empty directory, never written to from here. It
  # is left in place, since removing it would unmount it under a run still
  # going in another namespace.
  [ -d /kestor ] || mkdir /kestor
  TOLSA_ISOLATED=1 exec unshare --mount --ipc --propagation private "$0" "$@"
fi
mount -t tmpfs -o mode=0755 tolsa-kestor /kestor
mount -t tmpfs -o mode=1777 tolsa-shm /dev/shm
# Wine's server sockets live here: a private copy keeps wine programs from
# joining a wineserver started outside, which sees the real /kestor.
winedir="/tmp/.wine-$(id -u)"
mkdir -p -m 0700 "$winedir"
mount -t tmpfs -o mode=0700 tolsa-wine "$winedir"
exec "$@"
