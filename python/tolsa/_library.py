"""Finding and loading the tolsa library, and the C functions the package calls.

Loading the library runs its start-up in this process: it reads the
definition files and maps the shared area, exactly as for a C program.
"""

from __future__ import annotations

import ctypes
import os
import sys
from pathlib import Path
from typing import List, Optional, Tuple

PACKAGE_DIR = Path(__file__).resolve().parent
ON_WINDOWS = sys.platform == "win32"
LIBRARY_NAME = "tolsa64.dll" if ON_WINDOWS else "libtolsa64.so.4"
ENVIRONMENT_VARIABLE = "TOLSA_LIBRARY"

# Kept open for the life of the process: closing it would take the package
# directory off the DLL search path again.
_dll_directory: Optional[object] = None


def _attempt(target: str, label: str, tried: List[str]) -> Optional[Tuple[ctypes.CDLL, str]]:
    try:
        return ctypes.CDLL(target), target
    except OSError as error:
        tried.append("%s: %s" % (label, error))
        return None


def _from_environment(tried: List[str]) -> Optional[Tuple[ctypes.CDLL, str]]:
    path = os.environ.get(ENVIRONMENT_VARIABLE, "")
    if not path:
        tried.append("%s: not set" % ENVIRONMENT_VARIABLE)
        return None
    label = "%s=%s" % (ENVIRONMENT_VARIABLE, path)
    if not os.path.isabs(path):
        tried.append(label + ": not a full path")
        return None
    return _attempt(path, label, tried)


def _beside_package(tried: List[str]) -> Optional[Tuple[ctypes.CDLL, str]]:
    path = str(PACKAGE_DIR / LIBRARY_NAME)
    if not os.path.exists(path):
        tried.append(path + ": no such file")
        return None
    return _attempt(path, path, tried)


def _from_system(tried: List[str]) -> Optional[Tuple[ctypes.CDLL, str]]:
    global _dll_directory
    if ON_WINDOWS and _dll_directory is None:
        # Since Python 3.8 a DLL loaded by name is searched for in the
        # application's folder, the system folders and the folders added here,
        # not on PATH.
        _dll_directory = os.add_dll_directory(str(PACKAGE_DIR))  # type: ignore[attr-defined]
    return _attempt(LIBRARY_NAME, "the system's " + LIBRARY_NAME, tried)


def find_library() -> Tuple[ctypes.CDLL, str]:
    """Loads the library: TOLSA_LIBRARY, then beside the package, then the system.

    Returns the library and where it came from. Raises ImportError listing
    every place tried when none of them gives a library.
    """
    tried: List[str] = []
    for step in (_from_environment, _beside_package, _from_system):
        found = step(tried)
        if found is not None:
            return found
    raise ImportError("tolsa: cannot load the tolsa library; tried, in this order:\n  " + "\n  ".join(tried))


def declare(library: ctypes.CDLL) -> None:
    """Gives the functions the package calls their C prototypes."""
    i32, name = ctypes.c_int32, ctypes.c_char_p
    prototypes = {
        "TolsaGetPointer": (ctypes.c_void_p, []),
        "TolsaGetNumberOfItems": (i32, []),
        "TolsaGetItemSize": (i32, []),
        "TolsaGetIdentVarName": (i32, [name]),
        # Called with an int and bytes, which ctypes passes as int32_t and a
        # pointer without a copy; no argtypes, so no conversion per call.
        "TolsaWriteVar": (i32, None),
        "TolsaReadVar": (i32, [i32, ctypes.c_void_p]),
    }
    for function, (result, arguments) in prototypes.items():
        entry = getattr(library, function)
        entry.restype = result
        entry.argtypes = arguments
