#!/usr/bin/env bash
# The Python package: its tests with Debian's own interpreter (python3-pytest
# and python3-numpy are installed for it; `python3` on PATH may be a pyenv or
# venv one that does not see them) against the library of the native build;
# its type hints with mypy; the install commands of python/README.md,
# offline, with Debian's interpreter and with the python3 on PATH when that
# is another one; and one quick run of the benchmark so that it never rots
# (the figures are not judged here). Runs inside scripts/isolated.sh.
set -euo pipefail
cd "$(dirname "$0")/../.."
[ "${TOLSA_ISOLATED:-}" = 1 ] || { echo "45-python.sh: run through scripts/isolated.sh" >&2; exit 2; }

debian=/usr/bin/python3
build=${TOLSA_PYTHON_BUILD:-build/native}
cmake --build "$build" --target tolsa64 tolsa_producer >/dev/null
export TOLSA_LIBRARY=$PWD/$build/lib/libtolsa64.so.4 TOLSA_PRODUCER=$PWD/$build/bin/producer PYTHONDONTWRITEBYTECODE=1
work=$(mktemp -d)
clean() { rm -rf "$work" /kestor/iorsh.mem /kestor/memsh.mem /kestor/tolsa_log.txt /dev/shm/tolsavariables*; }
trap clean EXIT
fail() { echo "45-python.sh: $*" >&2; exit 1; }

# Type hints everywhere, checked; 3.8 is the oldest Python the package supports.
"$debian" -m mypy --strict --python-version 3.8 --cache-dir "$work/mypy" python/tolsa || fail "mypy found faults"

# Any status but 0 fails the step: 5 (no tests collected) as much as 1.
status=0
"$debian" -m pytest -q -p no:cacheprovider tests/python || status=$?
[ "$status" = 0 ] || fail "pytest exited $status"

# setuptools builds in the source folder: build from a copy.
cp -r python "$work/source"
rm -rf "$work/source/build" "$work/source"/*.egg-info
# The README's command for Debian's interpreter, as a dry run, with no index.
"$debian" -m pip install --dry-run --no-index --no-build-isolation --break-system-packages "$work/source" >"$work/pip.log" 2>&1 \
  || { cat "$work/pip.log" >&2; fail "pip install of python/ failed with Debian's python3"; }
"$debian" -m pip wheel --no-index --no-build-isolation --no-deps -w "$work/dist" "$work/source" >"$work/pip.log" 2>&1 \
  || { cat "$work/pip.log" >&2; fail "pip wheel of python/ failed"; }
wheel=$work/dist/tolsa-4.0.0-py3-none-any.whl
[ -f "$wheel" ] || fail "no $wheel"
rm -f /dev/shm/tolsavariables*  # the tests' area, with other declarations
printf 'Speed=L\n' >/kestor/iorsh.mem
printf 'Mode=W\n' >/kestor/memsh.mem
interpreters=("$debian")
other=$(command -v python3 || true)
if [ -n "$other" ] && [ "$("$other" -c 'import sys; print(sys.prefix)')" != "$("$debian" -c 'import sys; print(sys.prefix)')" ]; then
  interpreters+=("$other")
fi
n=0
for python in "${interpreters[@]}"; do
  n=$((n + 1))
  "$python" -m pip install --no-index --no-deps --target "$work/site$n" "$wheel" >"$work/pip.log" 2>&1 \
    || { cat "$work/pip.log" >&2; fail "$python could not install the wheel"; }
  [ -f "$work/site$n/tolsa/py.typed" ] || fail "the wheel has no py.typed"
  out=$(cd "$work" && PYTHONPATH="$work/site$n" "$python" -c 'import tolsa; tolsa.set("IORSH_Speed", 7); print(tolsa.names(), tolsa.get(0))')
  [ "$out" = "['IORSH_Speed', 'MEMSH_Mode'] 7" ] || fail "$python with the installed wheel printed: $out"
  echo "ok: $python installs the wheel and uses it"
done
rm -f /kestor/iorsh.mem /kestor/memsh.mem /dev/shm/tolsavariables*

"$debian" bench/python/tolsa_access.py --quick >"$work/bench.log" || { cat "$work/bench.log" >&2; fail "the benchmark failed"; }
echo "45-python.sh: all passed"
