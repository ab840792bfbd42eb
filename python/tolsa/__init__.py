"""tolsa: named, typed variables shared by the processes of one machine.

Importing the package loads the tolsa library (TOLSA_LIBRARY, else the one
beside this package, else the system's), whose start-up reads the definition
files in /kestor/ and maps the shared area, as in any C client.

    import tolsa
    tolsa.set("IORSH_Speed", 1200)
    tolsa.get("IORSH_Speed")          # 1200
    tolsa.memsh["Label"] = "ready"    # MEMSH_Label, by declared name
    for change in tolsa.watch("IORSH_*"):
        print(change.name, change.old, "->", change.new)
"""

from ._access import Record, count, get, library_path, names, records, set
from ._array import array
from ._errors import UnknownVariable
from ._families import Family
from ._values import Value
from ._watch import Change, watch

iorsh: Family = Family("IORSH_")
"""The variables of iorsh.mem by declared name."""
memsh: Family = Family("MEMSH_")
"""The variables of memsh.mem by declared name."""

__version__ = "4.0.0"
__all__ = ["Change", "Family", "Record", "UnknownVariable", "Value", "array", "count", "get", "iorsh",
           "library_path", "memsh", "names", "records", "set", "watch"]
