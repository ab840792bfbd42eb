"""Values by letter: the shared value cases, and the Python rules for every letter.

Stored bytes are always checked through the library's TolsaReadVar, and every
refused value must leave the stored bytes as they were.
"""

import math
import re
import struct
from decimal import Decimal
from pathlib import Path
from typing import List, NamedTuple, Optional

import pytest
import tolsa
from conftest import ROOT, SCRATCH, VARIABLES

CASES_FILE = ROOT / "tests" / "data" / "value-cases.tsv"


class Case(NamedTuple):
    letter: str  # one character, a control letter included
    size: int
    input: Optional[bytes]  # None: a format-only case
    bytes: Optional[bytes]  # None: refused; in a format-only case the value field as it stands
    error: Optional[str]  # syntax, range or length
    text: Optional[str]  # None: refused
    line: int


def _unescape(text: str) -> bytes:
    """The file's escapes \\t \\n \\\\ and \\xNN (a raw byte); other text is UTF-8."""
    out = b""
    for piece in re.split(r"(\\x[0-9a-fA-F]{2}|\\t|\\n|\\\\)", text):
        escapes = {"\\t": b"\t", "\\n": b"\n", "\\\\": b"\\"}
        out += escapes.get(piece) or (bytes([int(piece[2:], 16)]) if piece.startswith("\\x") else
                                      piece.encode("utf-8", "surrogateescape"))
    return out


def load_cases(path: Path) -> List[Case]:
    """Every case of the file; a line that is not one fails the collection rather than being dropped.

    The sixth column, the C++ codec's own error text, does not apply to Python.
    """
    cases = []
    for number, line in enumerate(path.read_text(encoding="utf-8", errors="surrogateescape").split("\n"), 1):
        if not line.strip() or line.startswith("#"):
            continue
        fields = line.split("\t")
        letter = _unescape(fields[0]).decode("latin-1")
        if len(fields) not in (5, 6) or len(letter) != 1:
            raise ValueError("%s line %d: %d fields, letter %r" % (path, number, len(fields), letter))
        _, size, given, stored, text = fields[:5]
        error = stored[len("error:"):] if stored.startswith("error:") else None
        cases.append(Case(letter, int(size), None if given == "-" else _unescape(given),
                          None if error else bytes.fromhex(stored), error, None if error else text, number))
    return cases


CASES = load_cases(CASES_FILE)
ACCEPTED = [c for c in CASES if c.input is not None and c.bytes is not None]
REFUSED_CASES = [c for c in CASES if c.error]
FORMAT_ONLY = [c for c in CASES if c.input is None]


def _id(case: Case) -> str:
    letter = case.letter if case.letter.isprintable() else "\\x%02x" % ord(case.letter)
    shown = "-" if case.input is None else repr(case.input)[2:-1]
    return "%d:%s:%.24s" % (case.line, letter, shown)


def test_the_file_holds_every_kind_of_case():
    assert len(ACCEPTED) >= 10 and len(REFUSED_CASES) >= 10 and len(FORMAT_ONLY) >= 10
    assert len(ACCEPTED) + len(REFUSED_CASES) + len(FORMAT_ONLY) == len(CASES)


def python_value(letter: str, given: bytes):
    """The Python value a caller would pass for the tool's input; None where there is none."""
    if letter == "$":
        try:
            return given.decode("utf-8")
        except UnicodeDecodeError:  # raw bytes: only bytes can carry them
            return None
    text = given.decode("latin-1")
    if letter in "LBHOMW":
        match = re.fullmatch(r"([+-]?)(?:0[xX]([0-9a-fA-F]+)|([0-9]+))", text)
        if not match:
            return None
        magnitude = int(match.group(2), 16) if match.group(2) else int(match.group(3))
        return -magnitude if match.group(1) == "-" else magnitude
    if letter == "D":
        try:
            number = float(text)
        except ValueError:
            return None
        if math.isinf(number) and "inf" not in text.lower():
            return int(Decimal(text))  # 1e400: no Python double holds it, an int does
        return number
    try:
        return bytes.fromhex(text) if len(text) % 2 == 0 else None
    except ValueError:
        return None


def python_text(letter: str, text: str):
    """What `tolsa.get` gives for the value the tool prints as `text`."""
    if letter in "LBHOMW":
        return int(text)
    if letter == "D":
        return float(text)
    return text if letter == "$" else bytes.fromhex(text)


@pytest.fixture
def variable(native, request):
    """The declared variable of the case's letter and size, or the scratch record set to them."""
    case: Case = request.param
    declared = VARIABLES.get(case.letter)
    if declared and declared[1] == case.size:
        yield declared[0]
    else:
        with native.record_as(SCRATCH, case.letter, case.size) as name:
            yield name


def _check_text(case: Case, value) -> None:
    expected = python_text(case.letter, case.text)
    assert type(value) is type(expected)
    if case.letter == "D":
        assert (math.isnan(value) and math.isnan(expected)) or (value == expected and
                                                                math.copysign(1, value) == math.copysign(1, expected))
    else:
        assert value == expected


@pytest.mark.parametrize("variable,case", [(c, c) for c in ACCEPTED], ids=[_id(c) for c in ACCEPTED],
                         indirect=["variable"])
def test_shared_case_stores_and_reads(variable, case, native):
    exact = 63 if case.letter == "$" else case.size
    native.fill(variable, 0)  # as the tool's cases have it: zeros past the value
    tolsa.set(variable, case.bytes[:exact])
    assert native.stored(variable) == case.bytes
    value = tolsa.get(variable)
    _check_text(case, value)
    # The value read goes back in as the same bytes.
    if not (case.letter == "$" and "\ufffd" in value):
        native.fill(variable, 0x55)
        tolsa.set(variable, value)
        assert native.stored(variable) == case.bytes
    # So does the tool's input, given as the Python value it stands for.
    given = python_value(case.letter, case.input)
    if given is not None:
        native.fill(variable, 0x55)
        if case.letter == "$" and "\0" in given:
            # Refused: the tool stores what comes before a NUL; Python says so.
            with pytest.raises(ValueError):
                tolsa.set(variable, given)
        else:
            tolsa.set(variable, given)
            assert native.stored(variable) == case.bytes


def _format_only_skip(case: Case) -> Optional[str]:
    """Why the tool's text for this field is not what Python reads, by the Python rules; None where it is."""
    if case.letter == "$" and len(case.bytes) > 63 and b"\0" not in case.bytes[:63]:
        return ("no NUL in the first 63 bytes: the tool shows all 64 bytes, Python reads a string's 63 "
                "(the 64th is the terminator's place)")
    if case.letter not in "LBHOMWD$" and not 0 <= case.size <= 64:
        return ("size %d does not fit the 64-byte field: the tool shows the first 64 bytes, Python none "
                "(the library copies nothing for it)" % case.size)
    return None


@pytest.mark.parametrize("variable,case", [(c, c) for c in FORMAT_ONLY], ids=[_id(c) for c in FORMAT_ONLY],
                         indirect=["variable"])
def test_shared_case_reads_the_field_as_it_stands(variable, case, native):
    reason = _format_only_skip(case)
    if reason:
        pytest.skip(reason)
    native.put(variable, case.bytes)
    _check_text(case, tolsa.get(variable))
    assert native.field(variable) == case.bytes.ljust(64, b"\0")  # reading changes nothing


@pytest.mark.parametrize("variable,case", [(c, c) for c in REFUSED_CASES], ids=[_id(c) for c in REFUSED_CASES],
                         indirect=["variable"])
def test_shared_case_refused(variable, case, native):
    native.fill(variable, 0x31)
    before = native.field(variable)
    given = python_value(case.letter, case.input)
    if case.letter == "$" and given is None:
        given = case.input  # not UTF-8: only bytes hold it
    if case.letter != "$":
        # Numbers and raw bytes are never taken as text: the syntax is the tool's alone.
        with pytest.raises(TypeError):
            tolsa.set(variable, case.input.decode("latin-1"))
    if case.error in ("range", "length") and given is not None:
        with pytest.raises(ValueError):
            tolsa.set(variable, given)
    assert native.field(variable) == before


# Python values by letter: (letter, value, stored bytes, value read back)
ROUND_TRIPS = [
    ("L", 0, b"\0\0\0\0", 0),
    ("L", -(2**31), b"\0\0\0\x80", -(2**31)),
    ("L", 2**31 - 1, b"\xff\xff\xff\x7f", 2**31 - 1),
    ("L", True, b"\x01\0\0\0", 1),
    ("L", b"\x01\x02\x03\x04", b"\x01\x02\x03\x04", 0x04030201),
    ("B", 255, b"\xff", 255), ("H", 0, b"\0", 0), ("O", 128, b"\x80", 128),
    ("M", 65535, b"\xff\xff", 65535), ("W", 258, b"\x02\x01", 258), ("W", b"\x34\x12", b"\x34\x12", 0x1234),
    ("D", 1.5, struct.pack("<d", 1.5), 1.5),
    ("D", -0.0, struct.pack("<d", -0.0), -0.0),
    ("D", 3, struct.pack("<d", 3.0), 3.0),
    ("D", math.inf, struct.pack("<d", math.inf), math.inf),
    ("$", "", bytes(64), ""),
    ("$", "héllo wörld", "héllo wörld".encode().ljust(64, b"\0"), "héllo wörld"),
    ("$", "x" * 63, b"x" * 63 + b"\0", "x" * 63),
    ("$", "é" * 31 + "x", ("é" * 31 + "x").encode() + b"\0", "é" * 31 + "x"),
    ("$", b"ab\xffcd".ljust(63, b"\0"), b"ab\xffcd".ljust(64, b"\0"), "ab\ufffdcd"),
    ("$", b"z" * 63, b"z" * 63 + b"\0", "z" * 63),
    ("X", b"", b"", b""),
]


@pytest.mark.parametrize("letter,value,stored,read", ROUND_TRIPS, ids=[f"{r[0]}-{r[1]!r:.20}" for r in ROUND_TRIPS])
def test_round_trip(letter, value, stored, read, native):
    name = VARIABLES[letter][0]
    native.fill(name, 0xAA)
    tolsa.set(name, value)
    assert native.stored(name) == stored
    if letter == "$":  # as TolsaWriteVar leaves it: NUL to the end of the field
        assert native.field(name) == stored
    got = tolsa.get(name)
    assert type(got) is type(read) and got == read
    if letter == "D":
        assert math.copysign(1, got) == math.copysign(1, read)
    # By index, the same bytes and the same value.
    native.fill(name, 0xAA)
    tolsa.set(native.index(name), value)
    assert native.stored(name) == stored and tolsa.get(native.index(name)) == read


def test_nan_round_trip(native):
    tolsa.set("IORSH_Level", math.nan)
    assert math.isnan(tolsa.get("IORSH_Level"))
    assert native.stored("IORSH_Level") == struct.pack("<d", math.nan)


# (letter, value, exception): each leaves the stored bytes alone.
REFUSED = [
    ("L", 2**31, ValueError), ("L", -(2**31) - 1, ValueError), ("L", 1.0, TypeError), ("L", "1", TypeError),
    ("L", None, TypeError), ("L", b"\0\0\0", ValueError), ("L", b"\0" * 5, ValueError),
    ("B", 256, ValueError), ("B", -1, ValueError), ("H", 2**64, ValueError), ("O", 0.5, TypeError),
    ("M", 65536, ValueError), ("W", -1, ValueError), ("W", "2", TypeError), ("W", b"\0", ValueError),
    ("D", 10**400, ValueError), ("D", "1.5", TypeError), ("D", None, TypeError), ("D", b"\0" * 4, ValueError),
    ("$", "x" * 64, ValueError), ("$", "é" * 32, ValueError), ("$", "a\0b", ValueError),
    ("$", "\udc80", ValueError), ("$", 1, TypeError), ("$", None, TypeError), ("$", b"short", ValueError),
    ("$", b"x" * 64, ValueError),
    ("X", b"a", ValueError), ("X", "", TypeError), ("X", 0, TypeError),
]


@pytest.mark.parametrize("letter,value,error", REFUSED, ids=[f"{r[0]}-{r[1]!r:.20}" for r in REFUSED])
def test_refused(letter, value, error, native):
    name = VARIABLES[letter][0]
    native.fill(name, 0x31)
    before = native.field(name)
    with pytest.raises(error) as raised:
        tolsa.set(name, value)
    assert name in str(raised.value)  # the message names the variable
    assert native.field(name) == before


def test_other_letter_takes_bytes_of_the_record_size(native):
    with native.record_as(SCRATCH, "?", 3):
        tolsa.set(SCRATCH, b"abc")
        assert native.stored(SCRATCH) == b"abc"
        assert tolsa.get(SCRATCH) == b"abc"
        with pytest.raises(ValueError):
            tolsa.set(SCRATCH, b"abcd")
    # A size the value field cannot hold: the library copies nothing, and so
    # the value is empty.
    with native.record_as(SCRATCH, "?", 65):
        assert tolsa.get(SCRATCH) == b""
        tolsa.set(SCRATCH, b"")


def test_letter_is_read_at_each_access(native):
    """A record's letter decides each read and write, not the one it had when first used."""
    tolsa.set(SCRATCH, b"")  # looked up, and remembered, as a raw letter
    with native.record_as(SCRATCH, "L", 4):
        tolsa.set(SCRATCH, -2)
        assert native.stored(SCRATCH) == b"\xfe\xff\xff\xff"
        assert tolsa.get(SCRATCH) == -2
    with native.record_as(SCRATCH, "$", 63):
        tolsa.set(SCRATCH, "now text")
        assert tolsa.get(SCRATCH) == "now text"
