"""The area as a numpy structured array, without a copy."""

from __future__ import annotations

from typing import Any

from . import _access
from ._values import NAME_SIZE, RECORD_SIZE, SIZE_OFFSET, TYPE_OFFSET, VALUE_OFFSET, VALUE_SIZE


def array() -> Any:
    """The records of the area as a numpy array over the shared memory itself (no copy).

    Fields: `name` S256, `type` S1, `size` int32 at offset 260, `value` V64 at
    offset 264; itemsize 328. Writes through the array go straight to the
    area, past every copy rule. Empty while no area is published.
    Raises ImportError when numpy is not installed: it is needed for array() only.
    """
    try:
        import numpy
    except ImportError as error:
        raise ImportError("numpy is needed for tolsa.array() only; the rest of tolsa works without it") from error
    dtype = numpy.dtype({
        "names": ["name", "type", "size", "value"],
        "formats": ["S%d" % NAME_SIZE, "S1", "<i4", "V%d" % VALUE_SIZE],
        "offsets": [0, TYPE_OFFSET, SIZE_OFFSET, VALUE_OFFSET],
        "itemsize": RECORD_SIZE,
    })
    view = _access.area()
    if view is None:
        return numpy.zeros(0, dtype=dtype)
    return numpy.frombuffer(view, dtype=dtype)
