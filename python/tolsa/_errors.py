"""The exception the package raises for a variable that does not exist."""

from __future__ import annotations


class UnknownVariable(KeyError):
    """No variable has this full name, declared name or index.

    A KeyError, so that mappings and `except KeyError` treat it as a missing
    key; `key` holds what was looked up.
    """

    def __init__(self, key: object, message: str = "") -> None:
        super().__init__(key)
        self.key = key
        self.message = message or (
            "no variable at index %d" % key if isinstance(key, int) else "no variable named %r" % (key,))

    def __str__(self) -> str:
        return self.message
