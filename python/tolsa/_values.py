"""Values by type letter: the record layout and the rules of the tolsa tool.

L is an int32, D a double, B H O and M W unsigned integers of 1 and 2 bytes,
$ text of at most 63 bytes of UTF-8, and any other letter the record's raw
bytes. Every letter also takes bytes of its exact size.
"""

from __future__ import annotations

import operator
import struct
from typing import List, Optional, Tuple, Union

Value = Union[int, float, str, bytes]

RECORD_SIZE = 328
NAME_SIZE = 256
TYPE_OFFSET = 256
SIZE_OFFSET = 260
VALUE_OFFSET = 264
VALUE_SIZE = 64
STRING_BYTES = 63  # the 64th byte of a string is its terminator
STRING = ord("$")

_SIZE = struct.Struct("<i")

# letter: (format, lowest, highest)
_INTEGERS = {
    "L": ("i", -(2**31), 2**31 - 1),
    "B": ("B", 0, 255), "H": ("B", 0, 255), "O": ("B", 0, 255),
    "M": ("H", 0, 65535), "W": ("H", 0, 65535),
}


def _numbers() -> Tuple[Optional[struct.Struct], ...]:
    table: List[Optional[struct.Struct]] = [None] * 256
    for letter, (code, _, _) in _INTEGERS.items():
        table[ord(letter)] = struct.Struct("<" + code)
    table[ord("D")] = struct.Struct("<d")
    return tuple(table)


# By letter byte: the struct of a number's value, None for the others.
NUMBERS = _numbers()
TEXT = struct.Struct("%ds" % STRING_BYTES)  # a string's characters, up to its terminator at the latest
FIELD = struct.Struct("%ds" % VALUE_SIZE)  # a whole value field; pack() pads with NUL


def raw_size(size: int) -> int:
    """The bytes a raw letter copies: the size field when it fits the value field, else none."""
    return size if 0 < size <= VALUE_SIZE else 0


def record_size(view: Union[bytes, memoryview], offset: int) -> int:
    """The size field of the record at `offset`."""
    return int(_SIZE.unpack_from(view, offset + SIZE_OFFSET)[0])


def record_name(view: memoryview, offset: int) -> str:
    """The full name of the record at `offset`; bytes that are not UTF-8 kept as surrogates."""
    field = bytes(view[offset:offset + NAME_SIZE])
    return field.split(b"\0", 1)[0].decode("utf-8", "surrogateescape")


def decode(letter: int, size: int, field: bytes) -> Value:
    """The value held in a 64-byte value field, by the letter's rule."""
    number = NUMBERS[letter]
    if number is not None:
        return number.unpack_from(field)[0]  # type: ignore[no-any-return]
    if letter == STRING:
        return field[:STRING_BYTES].split(b"\0", 1)[0].decode("utf-8", "replace")
    return bytes(field[:raw_size(size)])


def _describe(name: str, letter: int) -> str:
    return "%s (type %s)" % (name, chr(letter) if 32 < letter < 127 else "\\x%02x" % letter)


def encode(letter: int, size: int, value: object, name: str) -> bytes:
    """`value` as the 64 bytes to write to a record with this letter and size.

    Raises TypeError for a value of the wrong kind, ValueError for one out of
    range, a string over 63 bytes or holding a NUL, or bytes of the wrong size.
    """
    what = _describe(name, letter)
    text = chr(letter)
    if isinstance(value, (bytes, bytearray, memoryview)):
        data = bytes(value)
        want = STRING_BYTES if letter == STRING else raw_size(size)
        if len(data) != want:
            raise ValueError("%s takes %d bytes, not %d" % (what, want, len(data)))
        return FIELD.pack(data)
    if letter == STRING:
        if not isinstance(value, str):
            raise TypeError("%s takes a str or %d bytes, not %s" % (what, STRING_BYTES, type(value).__name__))
        try:
            data = value.encode("utf-8")
        except UnicodeEncodeError as error:
            raise ValueError("%s: the text cannot be written as UTF-8 (%s)" % (what, error.reason)) from None
        if len(data) > STRING_BYTES:
            raise ValueError("%s: the text is %d bytes in UTF-8; at most %d fit" % (what, len(data), STRING_BYTES))
        if b"\0" in data:
            raise ValueError("%s: the text holds a NUL character, where a string variable ends" % what)
        return FIELD.pack(data)
    if text == "D":
        if isinstance(value, str):
            raise TypeError("%s takes a float or 8 bytes, not str" % what)
        try:
            number = float(value)  # type: ignore[arg-type]
        except TypeError:
            raise TypeError("%s takes a float or 8 bytes, not %s" % (what, type(value).__name__)) from None
        except OverflowError:
            raise ValueError("%s: %s is out of range for a double" % (what, value)) from None
        return FIELD.pack(NUMBERS[letter].pack(number))  # type: ignore[union-attr]
    if text in _INTEGERS:
        code, lowest, highest = _INTEGERS[text]
        try:
            integer = operator.index(value)  # type: ignore[arg-type]
        except TypeError:
            raise TypeError("%s takes an int or %d bytes, not %s"
                            % (what, struct.calcsize(code), type(value).__name__)) from None
        if not lowest <= integer <= highest:
            raise ValueError("%s: %d is out of range (%d to %d)" % (what, integer, lowest, highest))
        return FIELD.pack(NUMBERS[letter].pack(integer))  # type: ignore[union-attr]
    raise TypeError("%s takes %d bytes, not %s" % (what, raw_size(size), type(value).__name__))
