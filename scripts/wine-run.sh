#!/usr/bin/env bash
# Runs a Windows program under wine in the build's private prefix, so that no
# test ever sees the user's own prefix. The prefix is made on first use.
set -euo pipefail
: "${WINEPREFIX:=${TOLSA_WINEPREFIX:-${TMPDIR:-/tmp}/tolsa-wineprefix-$(id -u)}}"
export WINEPREFIX WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
wine=/usr/lib/wine/wine64
[ -x "$wine" ] || wine=$(command -v wine64 || command -v wine)
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  mkdir -p "$WINEPREFIX"
  "$wine" wineboot --init >/dev/null 2>&1 || true
fi
exec "$wine" "$@"
