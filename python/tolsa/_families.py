"""The variables of one definition file as a mapping by declared name."""

from __future__ import annotations

from typing import Iterator, List, MutableMapping

from . import _access
from ._errors import UnknownVariable
from ._values import Value


class Family(MutableMapping[str, Value]):
    """The variables of iorsh.mem or memsh.mem, keyed by declared name.

    `family[name]` reads and `family[name] = value` writes the variable
    PREFIX + name, by the rules of tolsa.get and tolsa.set. Variables cannot
    be deleted. Iteration gives the declared names in record order, once each.
    """

    def __init__(self, prefix: str) -> None:
        self.prefix = prefix

    def _full(self, name: object) -> str:
        if not isinstance(name, str):
            raise UnknownVariable(name, "%s has no variable %r: names are str" % (self.prefix, name))
        return self.prefix + name

    def _declared(self) -> List[str]:
        skip = len(self.prefix)
        return list(dict.fromkeys(n[skip:] for n in _access.names() if n.startswith(self.prefix)))

    def __getitem__(self, name: str) -> Value:
        """The value of PREFIX + name. Raises UnknownVariable when there is none."""
        return _access.get(self._full(name))

    def __setitem__(self, name: str, value: object) -> None:
        """Writes PREFIX + name. Raises UnknownVariable, TypeError or ValueError as tolsa.set does."""
        if not isinstance(name, str):
            raise TypeError("%s variables are named by str, not %s" % (self.prefix, type(name).__name__))
        _access.set(self._full(name), value)

    def __delitem__(self, name: str) -> None:
        """Always raises TypeError: the definition files alone declare variables."""
        raise TypeError("tolsa variables cannot be deleted; they are declared in the definition files")

    def __contains__(self, name: object) -> bool:
        return isinstance(name, str) and name in self._declared()

    def __iter__(self) -> Iterator[str]:
        return iter(self._declared())

    def __len__(self) -> int:
        return len(self._declared())

    def __repr__(self) -> str:
        return "<tolsa variables %s*: %d>" % (self.prefix, len(self))
