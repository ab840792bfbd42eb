"""The Python package's tests: they load the real library the build made.

They run only inside scripts/isolated.sh (a private /kestor and /dev/shm):
this file writes the definition files there before tolsa is imported, since
start-up reads them when the library is loaded.
TOLSA_LIBRARY chooses the library (default: build/native), TOLSA_PRODUCER
the example producer (default: build/native/bin/producer).
"""

import contextlib
import ctypes
import os
import subprocess
import sys
from pathlib import Path

import pytest

ROOT = Path(__file__).resolve().parents[2]
PACKAGE_ROOT = ROOT / "python"
BUILD = ROOT / "build" / "native"

if os.environ.get("TOLSA_ISOLATED") != "1":
    pytest.exit("the Python tests run through scripts/isolated.sh only (they write /kestor)", returncode=2)

# One variable of each letter the library knows, another letter (size 0), a
# scratch record whose letter and size the tests set, the producer's three,
# and a name declared twice.
IORSH = "Counter=L\nLevel=D\nStatus=$\nByte=B\nHalf=H\nOctet=O\nMode=M\nWord=W\nRaw=X\nScratch=Q\n"
MEMSH = "[Settings]\nCounter=L\nLabel=$\nSetpoint=D\nTwice=B\nTwice=B\n"
for stale in ("/dev/shm/tolsavariables", "/dev/shm/tolsavariables.guard", "/kestor/tolsa_log.txt"):
    with contextlib.suppress(FileNotFoundError):
        os.remove(stale)
Path("/kestor/iorsh.mem").write_text(IORSH)
Path("/kestor/memsh.mem").write_text(MEMSH)
os.environ.setdefault("TOLSA_LIBRARY", str(BUILD / "lib" / "libtolsa64.so.4"))
os.environ["PYTHONPATH"] = os.pathsep.join(filter(None, [str(PACKAGE_ROOT), os.environ.get("PYTHONPATH")]))
sys.path.insert(0, str(PACKAGE_ROOT))

import tolsa  # noqa: E402  (after the definition files exist)

# The declared variable of each letter, and its size.
VARIABLES = {"L": ("IORSH_Counter", 4), "D": ("IORSH_Level", 8), "$": ("IORSH_Status", 63),
             "B": ("IORSH_Byte", 1), "H": ("IORSH_Half", 1), "O": ("IORSH_Octet", 1),
             "M": ("IORSH_Mode", 2), "W": ("IORSH_Word", 2), "X": ("IORSH_Raw", 0)}
SCRATCH = "IORSH_Scratch"


class Native:
    """The library's own functions, called directly, to check what the package did."""

    def __init__(self) -> None:
        self.lib = ctypes.CDLL(tolsa.library_path)
        self.lib.TolsaReadVar.argtypes = [ctypes.c_int32, ctypes.c_void_p]
        self.lib.TolsaGetPointer.restype = ctypes.c_void_p
        self.lib.TolsaGetIdentVarName.argtypes = [ctypes.c_char_p]
        self.lib.TolsaGetTypeVar.restype = ctypes.c_char

    def index(self, name: str) -> int:
        return self.lib.TolsaGetIdentVarName(name.encode())

    def stored(self, name: str) -> bytes:
        """The value as TolsaReadVar copies it: 64 bytes for $, else size bytes."""
        index = self.index(name)
        buffer = ctypes.create_string_buffer(64)
        assert self.lib.TolsaReadVar(index, buffer) == 0
        return buffer.raw if self.lib.TolsaGetTypeVar(index) == b"$" else buffer.raw[:self.lib.TolsaGetSizeVar(index)]

    def field(self, name: str) -> bytes:
        """The whole 64-byte value field, read from the area in place."""
        return ctypes.string_at(self.lib.TolsaGetPointer() + self.index(name) * 328 + 264, 64)

    def fill(self, name: str, byte: int) -> None:
        """Sets every byte of the value field, past the copy rules."""
        ctypes.memset(self.lib.TolsaGetPointer() + self.index(name) * 328 + 264, byte, 64)

    def put(self, name: str, data: bytes) -> None:
        """The value field set to `data` and zeros after it, as another process may leave it."""
        ctypes.memmove(self.lib.TolsaGetPointer() + self.index(name) * 328 + 264, data.ljust(64, b"\0"), 64)

    @contextlib.contextmanager
    def record_as(self, name: str, letter: str, size: int):
        """The record's letter and size set to these for the duration, as a direct writer could."""
        at = self.lib.TolsaGetPointer() + self.index(name) * 328
        saved = ctypes.string_at(at + 256, 8)
        ctypes.memmove(at + 256, letter.encode("latin-1"), 1)
        ctypes.memmove(at + 260, size.to_bytes(4, "little", signed=True), 4)
        try:
            yield name
        finally:
            ctypes.memmove(at + 256, saved, 8)


@pytest.fixture(scope="session")
def native() -> Native:
    return Native()


def run_python(code: str, timeout: float = 30, **kwargs) -> subprocess.CompletedProcess:
    """Another Python process with the same package and library."""
    return subprocess.run([sys.executable, "-c", code], capture_output=True, text=True, timeout=timeout, **kwargs)
