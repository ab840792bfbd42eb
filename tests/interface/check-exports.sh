#!/usr/bin/env bash
# Checks that a built library exports exactly the names listed in the .def
# file, undecorated: none missing, none extra.
# Usage: check-exports.sh so NM LIBRARY DEF | check-exports.sh dll OBJDUMP LIBRARY DEF
set -euo pipefail
kind=$1 tool=$2 library=$3 def=$4

expected=$(awk 'listing && NF { print $1 } /^EXPORTS/ { listing = 1 }' "$def" | sort)
case $kind in
  so)  actual=$("$tool" -D --defined-only "$library" | awk '{ print $NF }' | sort) ;;
  dll) actual=$("$tool" -p "$library" |
                awk '/^\[Ordinal\/Name Pointer\] Table/ { table = 1; next }
                     table && /^\t\[/ { print $NF; next }
                     table { table = 0 }' | sort) ;;
  *)   echo "unknown kind $kind" >&2; exit 2 ;;
esac

count=$(printf '%s\n' "$expected" | grep -c .)
if [ "$count" -ne 51 ]; then
  echo "$def lists $count names, not 51" >&2
  exit 1
fi
if [ "$actual" != "$expected" ]; then
  echo "exports of $library differ from $def (< missing, > extra):" >&2
  diff <(printf '%s\n' "$expected") <(printf '%s\n' "$actual") >&2 || true
  exit 1
fi
echo "$library exports exactly the $count names of $def"
