#!/usr/bin/env bash
# Shows two processes exchanging a variable through the library, in a private
# mount namespace with its own /kestor, so the machine's real area is untouched.
set -euo pipefail
cd "$(dirname "$0")/.."
if [ "${TOLSA_ISOLATED:-}" != 1 ]; then
  bash scripts/install-deps.sh
  cmake --preset native >/dev/null && cmake --build --preset native >/dev/null
  exec scripts/isolated.sh "$0" "$@"
fi
printf 'Speed=L\nName=$\n' >/kestor/iorsh.mem
printf '[Section]\nMode=W\n' >/kestor/memsh.mem
agent=build/native/bin/tolsa_agent
echo "process A writes IORSH_Speed = 1234 and keeps the area open"
coproc A { "$agent"; }
echo "call TolsaWriteInt32 IORSH_Speed 1234" >&"${A[1]}"; read -r answer <&"${A[0]}"
echo "process B reads it: $(printf 'call TolsaReadInt32 IORSH_Speed\nexit\n' | "$agent")"
echo exit >&"${A[1]}"; wait
echo "--- /kestor/tolsa_log.txt of process B"; cat /kestor/tolsa_log.txt
