"""Polling the area for changed values."""

from __future__ import annotations

import fnmatch
import math
import time
from typing import Dict, Iterable, Iterator, List, NamedTuple, Tuple, Union

from . import _access
from ._values import (NUMBERS, RECORD_SIZE, STRING, STRING_BYTES, TYPE_OFFSET, VALUE_OFFSET, VALUE_SIZE, Value, decode,
                      raw_size, record_size)


class Change(NamedTuple):
    """A value seen to change: the full name, the value before and after, and when (time.time())."""

    name: str
    old: Value
    new: Value
    time: float


def _matching(patterns: Tuple[str, ...]) -> List[Tuple[int, str]]:
    """(index, name) of the variables whose names match; names never change once the area is published."""
    return [(index, name) for index, name in enumerate(_access.names())
            if any(fnmatch.fnmatchcase(name, pattern) for pattern in patterns)]


def _snapshot(chosen: List[Tuple[int, str]]) -> Dict[int, Tuple[str, bytes, int, int]]:
    """index -> (name, compared bytes, letter, size) of the chosen variables, each copied in one go."""
    view = _access.area()
    result: Dict[int, Tuple[str, bytes, int, int]] = {}
    if view is None:
        return result
    for index, name in chosen:
        record = bytes(view[index * RECORD_SIZE:(index + 1) * RECORD_SIZE])
        letter = record[TYPE_OFFSET]
        size = record_size(record, 0)
        field = record[VALUE_OFFSET:]
        # Only the bytes the value is made of: a string up to its end, a
        # number's width, a raw value's size.
        number = NUMBERS[letter]
        if number is not None:
            seen = field[:number.size]
        elif letter == STRING:
            seen = field[:STRING_BYTES].split(b"\0", 1)[0]
        else:
            seen = field[:raw_size(size)]
        result[index] = (name, seen, letter, size)
    return result


def _value(entry: Tuple[str, bytes, int, int]) -> Value:
    _, seen, letter, size = entry
    return decode(letter, size, seen.ljust(VALUE_SIZE, b"\0"))


def watch(patterns: Union[str, Iterable[str]] = ("*",), interval: float = 0.1) -> Iterator[Change]:
    """Yields a Change each time the value of a variable whose full name matches one of `patterns`
    (shell patterns: * ? [seq], case-sensitive) differs from the poll before.

    Polls every `interval` seconds; ends, without an exception, on
    KeyboardInterrupt. Raises TypeError for patterns that are not str, and
    ValueError for an interval that is not a positive number of seconds.
    """
    chosen = (patterns,) if isinstance(patterns, str) else tuple(patterns)
    if not all(isinstance(pattern, str) for pattern in chosen):
        raise TypeError("watch patterns are str")
    if isinstance(interval, bool) or not isinstance(interval, (int, float)):
        raise TypeError("the interval is a number of seconds, not %s" % type(interval).__name__)
    if not (math.isfinite(interval) and interval > 0):
        raise ValueError("the interval must be a positive number of seconds, not %r" % interval)
    return _poll(chosen, float(interval))


def _poll(patterns: Tuple[str, ...], interval: float) -> Iterator[Change]:
    try:
        chosen = _matching(patterns)
        before = _snapshot(chosen)
        while True:
            time.sleep(interval)
            if not chosen:  # no area yet, or nothing matches
                chosen = _matching(patterns)
            now = _snapshot(chosen)
            seen = time.time()
            for index, entry in now.items():
                old = before.get(index)
                if old is not None and old[1:] != entry[1:]:
                    yield Change(entry[0], _value(old), _value(entry), seen)
            before = now
    except KeyboardInterrupt:
        return
