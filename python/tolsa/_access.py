"""Reading and writing the variables of this process's view of the area.

Names are looked up through the library (so a name declared twice finds the
record every other client finds, and a miss is logged as for any client)
and remembered by where the record lies. Each access takes the letter the
record holds at the time. Numbers and text are read and written in the
record in place, byte for byte as TolsaReadVar and TolsaWriteVar would;
other values are written through TolsaWriteVar.
"""

from __future__ import annotations

import ctypes
import operator
import struct
from typing import Dict, List, NamedTuple, Optional

from ._errors import UnknownVariable
from ._library import declare, find_library
from ._values import (FIELD, NUMBERS, RECORD_SIZE, STRING, STRING_BYTES, TEXT, TYPE_OFFSET, VALUE_OFFSET, VALUE_SIZE,
                      Value, decode, encode, record_name, record_size)

library, library_path = find_library()
declare(library)
_write = library.TolsaWriteVar


class Record(NamedTuple):
    """One variable as it was when read: index, full name, type letter, size and value."""

    index: int  # type: ignore[assignment]  # the field hides tuple.index()
    name: str
    type: str
    size: int
    value: Value


_view: Optional[memoryview] = None
_count = 0
# Full name -> where the value field of its record starts in the area, for
# the names the library found. The letter lies LETTER_BEFORE_VALUE bytes before.
_fields: Dict[str, int] = {}
LETTER_BEFORE_VALUE = VALUE_OFFSET - TYPE_OFFSET


def area() -> Optional[memoryview]:
    """The whole area as bytes, in place; None while no area is published.

    Once published, the base and the count never change for the process.
    """
    global _view, _count
    if _view is None:
        base = library.TolsaGetPointer()
        if base:
            count = library.TolsaGetNumberOfItems()
            _view = memoryview((ctypes.c_char * (count * RECORD_SIZE)).from_address(base)).cast("B")
            _count = count
    return _view


def _find_name(key: str) -> int:
    try:
        encoded = key.encode("utf-8", "surrogateescape")
    except UnicodeEncodeError:
        raise UnknownVariable(key) from None
    if b"\0" in encoded:  # the library would see only the part before it
        raise UnknownVariable(key)
    view = area()
    index = library.TolsaGetIdentVarName(encoded)
    if index < 0 or view is None:
        raise UnknownVariable(key)
    start: int = index * RECORD_SIZE + VALUE_OFFSET
    _fields[key] = start
    return start


def _find(key: object) -> int:
    """Where the value field of a key not yet remembered starts: a name to look up, or an index to check."""
    if isinstance(key, str):
        return _find_name(str(key))
    if isinstance(key, bool) or not hasattr(type(key), "__index__"):
        raise TypeError("a variable is named by a str or an int index, not %s" % type(key).__name__)
    index = operator.index(key)  # type: ignore[arg-type]
    area()
    if not 0 <= index < _count:
        raise UnknownVariable(index, "no variable at index %d (there are %d)" % (index, _count))
    return index * RECORD_SIZE + VALUE_OFFSET


def count() -> int:
    """The number of variables in this process's view; 0 when no area is published."""
    return int(library.TolsaGetNumberOfItems())


def get(key: object) -> Value:
    """The value of the variable named by `key`: a full name (str) or an index (int).

    L gives an int, D a float, B H O M W an unsigned int, $ a str (invalid
    UTF-8 replaced), any other letter the record's bytes.
    Raises UnknownVariable (a KeyError) when there is no such variable, and
    TypeError when `key` is neither a str nor an int.
    """
    try:
        start = _fields[key]  # type: ignore[index]
    except KeyError:
        start = _find(key)
    view: memoryview = _view  # type: ignore[assignment]  # set once any variable is found
    letter = view[start - LETTER_BEFORE_VALUE]
    number = NUMBERS[letter]
    if number is not None:
        return number.unpack_from(view, start)[0]  # type: ignore[no-any-return]
    if letter == STRING:
        text: bytes = TEXT.unpack_from(view, start)[0]
        return text.partition(b"\0")[0].decode("utf-8", "replace")
    return decode(letter, record_size(view, start - VALUE_OFFSET), bytes(view[start:start + VALUE_SIZE]))


def set(key: object, value: object) -> None:
    """Writes `value` to the variable named by `key` (a full name or an index).

    L takes an int32 int, D a float (or int), B H O an int from 0 to 255, M W
    one from 0 to 65535, $ a str of at most 63 bytes of UTF-8; every letter
    also takes bytes of the variable's exact size (63 for $). Nothing is
    written when an error is raised:
    UnknownVariable (a KeyError) when there is no such variable;
    TypeError for a key or a value of the wrong kind;
    ValueError for a value out of range, a string too long or holding a NUL,
    or bytes of the wrong size.
    """
    try:
        start = _fields[key]  # type: ignore[index]
    except KeyError:
        start = _find(key)
    view: memoryview = _view  # type: ignore[assignment]
    letter = view[start - LETTER_BEFORE_VALUE]
    # Text and numbers are stored in place, as TolsaWriteVar would store
    # them; struct takes exactly the kinds encode() does. Anything else, and
    # every refusal, goes through encode().
    if letter == STRING:
        if type(value) is str:
            try:
                data = value.encode()  # UTF-8
            except UnicodeEncodeError:
                pass
            else:
                if len(data) <= STRING_BYTES and 0 not in data:  # an int needle: a plain memchr
                    FIELD.pack_into(view, start, data)  # NUL to the end of the field
                    return
    else:
        number = NUMBERS[letter]
        if number is not None:
            try:
                data = number.pack(value)  # pack_into() would clear the field before it refuses
            except (struct.error, OverflowError):
                pass
            else:
                view[start:start + number.size] = data
                return
    offset = start - VALUE_OFFSET
    if _write(offset // RECORD_SIZE, encode(letter, record_size(view, offset), value, record_name(view, offset))) != 0:
        raise UnknownVariable(offset // RECORD_SIZE)


def names() -> List[str]:
    """The full names of all variables, in record order (bytes that are not UTF-8 kept as surrogates)."""
    view = area()
    if view is None:
        return []
    return [record_name(view, index * RECORD_SIZE) for index in range(_count)]


def records() -> List[Record]:
    """Every variable as a Record(index, name, type, size, value), read from one copy of the area."""
    view = area()
    if view is None:
        return []
    copy = memoryview(bytes(view))
    result = []
    for index in range(_count):
        offset = index * RECORD_SIZE
        letter = copy[offset + TYPE_OFFSET]
        size = record_size(copy, offset)
        value = bytes(copy[offset + VALUE_OFFSET:offset + VALUE_OFFSET + VALUE_SIZE])
        result.append(Record(index, record_name(copy, offset), chr(letter), size, decode(letter, size, value)))
    return result
