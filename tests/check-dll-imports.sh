#!/usr/bin/env bash
# Fails when a Windows binary imports anything but the system's own DLLs: the
# library must load on a bare Windows without the compiler's runtime DLLs
# (libstdc++, libgcc, libwinpthread). Exits 77 (skipped) when it is missing.
# Usage: check-dll-imports.sh OBJDUMP BINARY [ALSO_ALLOWED.dll...]
# (a program may name further DLLs it needs, such as tolsa64.dll itself).
set -euo pipefail
objdump=$1 binary=$2
shift 2
also=" ${*,,} "
if [ ! -f "$binary" ]; then
  echo "no $binary: skipped"
  exit 77
fi
imports=$("$objdump" -p "$binary" | sed -n 's/^[[:space:]]*DLL Name: //p')
if [ -z "$imports" ]; then
  echo "no import table read from $binary" >&2
  exit 1
fi
status=0
while read -r dll; do
  case "${dll,,}" in
    kernel32.dll | msvcrt.dll | ucrtbase.dll | ntdll.dll | advapi32.dll | user32.dll | api-ms-win-*.dll)
      echo "ok: $dll" ;;
    *)
      if [[ "$also" == *" ${dll,,} "* ]]; then echo "ok: $dll (allowed for this program)"; continue; fi
      echo "not a system DLL: $dll" >&2
      status=1 ;;
  esac
done <<<"$imports"
exit "$status"
