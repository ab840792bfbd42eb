#!/usr/bin/env bash
# The README's demo, run to its end: the producer's values must be seen
# changing from the tool, the list must show what was set, the recording
# must hold rows, the producer's log must be untouched by the tool, and with
# no producer left the tool must say so with exit status 3.
set -euo pipefail
cd "$(dirname "$0")/../.."
[ "${TOLSA_ISOLATED:-}" = 1 ] || { echo "40-tool.sh: run through scripts/isolated.sh" >&2; exit 2; }
out=$(timeout 60 bash scripts/demo.sh 2>&1) || { printf '%s\n' "$out"; echo "40-tool.sh: the demo failed" >&2; exit 1; }
printf '%s\n' "$out"
out=${out//$'\r'/}  # the CSV rows shown end in CR LF
fail() { echo "40-tool.sh: $1" >&2; exit 1; }
grep -q '^refresh 8$' <<<"$out" || fail "watch did not show 8 refreshes"
grep -Eq '^\* +0  IORSH_Counter +L +4  [1-9][0-9]*$' <<<"$out" || fail "no change of IORSH_Counter was marked"
grep -Eq '^\* +2  IORSH_Status +\$ +63  (rising|falling), iteration [0-9]+$' <<<"$out" || fail "no change of IORSH_Status was marked"
grep -Eq '^3  MEMSH_Setpoint +D +8  42\.5$' <<<"$out" || fail "list does not show the setpoint that was set"
grep -Eq '^6  MEMSH_Label +\$ +63  set from the shell$' <<<"$out" || fail "list does not show the label that was set"
grep -q '^exit status 2$' <<<"$out" || fail "the refused set did not exit with 2"
grep -Eq '^[0-9-]{10}T[0-9:]{8}\.[0-9]{6}Z,[0-9]+,[0-9.]+,"(rising|falling), iteration [0-9]+"$' <<<"$out" ||
  fail "the recording holds no row"
grep -q '^unchanged: tolsa v' <<<"$out" || fail "the tool changed the producer's log"
grep -q '^exit status 3$' <<<"$out" || fail "with no producer the tool did not exit with 3"
echo "40-tool.sh: the demo ran to its end"
