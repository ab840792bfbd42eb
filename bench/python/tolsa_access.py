#!/usr/bin/env python3
"""tolsa.get and tolsa.set by name, per call, against their floor and a dict.

The floor is what a user writes by hand: a direct ctypes call of
TolsaReadVarName / TolsaWriteVarName with a prepared name and buffer, plus
struct unpack / pack (for $, the text decoded / encoded). Goal: <= 1.5x.
A Python dict lookup of the same name is shown for information.

Runs inside scripts/isolated.sh: it declares 1,000 variables in /kestor/
before it loads the library (TOLSA_LIBRARY, default build/native). Options
are the harness's: --json FILE --rounds N --block-ms MS --quick --filter TEXT.
"""

import ctypes
import os
import struct
import sys
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parents[2]
sys.path[:0] = [str(ROOT / "bench"), str(ROOT / "python")]

import harness as hb  # noqa: E402

# (letter, declared name, value, struct format or None for text)
SUBJECTS = [("L", "Speed", 123456, "<i"), ("D", "Level", 2.5, "<d"), ("$", "Label", "conveyor 3 running", None)]
FILLERS = 997


def declare() -> None:
    lines = ["%s=%s" % (name, letter) for letter, name, _, _ in SUBJECTS]
    lines += ["Filler%04d=%s" % (i, "LD$B"[i % 4]) for i in range(FILLERS)]
    Path("/kestor/iorsh.mem").write_text("\n".join(lines) + "\n")
    Path("/kestor/memsh.mem").write_text("")


def main(argv) -> int:
    if os.environ.get("TOLSA_ISOLATED") != "1":
        print("tolsa_access.py: run through scripts/isolated.sh (it writes /kestor)", file=sys.stderr)
        return 2
    declare()
    os.environ.setdefault("TOLSA_LIBRARY", str(ROOT / "build" / "native" / "lib" / "libtolsa64.so.4"))
    import tolsa

    # The fastest call by hand: no argtypes, so ctypes passes the bytes and
    # the buffer as pointers with no conversion; the result is a C int.
    native = ctypes.CDLL(tolsa.library_path)
    read_native, write_native = native.TolsaReadVarName, native.TolsaWriteVarName

    bench = hb.Harness("tolsa_bench_python", argv)
    # CPU time of this thread, as the single-process C++ benchmarks: other
    # load on the shared cores disturbs it less than the wall clock.
    def timed(body):
        return hb.timed(body, clock=time.thread_time_ns)

    get, set_ = tolsa.get, tolsa.set
    for letter, declared, value, form in SUBJECTS:
        name = "IORSH_" + declared
        key, buffer, table = name.encode(), ctypes.create_string_buffer(64), {name: value}
        set_(name, value)
        if form:
            packer = struct.Struct(form)

            def floor_get(n, key=key, buffer=buffer, unpack=packer.unpack_from):
                for _ in range(n):
                    read_native(key, buffer)
                    unpack(buffer)[0]

            def floor_set(n, key=key, value=value, pack=packer.pack):
                for _ in range(n):
                    write_native(key, pack(value))
        else:
            def floor_get(n, key=key, buffer=buffer):
                for _ in range(n):
                    read_native(key, buffer)
                    buffer.value.decode("utf-8", "replace")

            def floor_set(n, key=key, value=value):
                for _ in range(n):
                    write_native(key, value.encode("utf-8"))

        def ours_get(n, name=name):
            for _ in range(n):
                get(name)

        def ours_set(n, name=name, value=value):
            for _ in range(n):
                set_(name, value)

        def dict_get(n, name=name, table=table):
            for _ in range(n):
                table[name]

        def dict_set(n, name=name, value=value, table=table):
            for _ in range(n):
                table[name] = value

        for verb, ours, floor, peer in (("get", ours_get, floor_get, dict_get), ("set", ours_set, floor_set, dict_set)):
            bench.compare("tolsa.%s %s by name <= 1.5x ctypes floor" % (verb, letter),
                          ("tolsa.%s" % verb, timed(ours)),
                          ("ctypes Tolsa%sVarName + %s" % ("Read" if verb == "get" else "Write",
                                                           "struct" if form else "codec"), timed(floor)),
                          goal=hb.at_most(1.5))
            bench.compare("tolsa.%s %s by name vs dict (information)" % (verb, letter),
                          ("tolsa.%s" % verb, timed(ours)), ("dict %s" % verb, timed(peer)))
        assert get(name) == value, "the benchmark changed the value it measures"
    return bench.finish()


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
