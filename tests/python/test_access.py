"""Keys, the view of the area, the two families and the numpy array."""

from collections.abc import MutableMapping
from pathlib import Path

import numpy
import pytest
import tolsa
from conftest import IORSH, MEMSH

DECLARED = [("IORSH_" + line.split("=")[0], line.split("=")[1])
            for line in IORSH.splitlines()] + [("MEMSH_" + line.split("=")[0], line.split("=")[1])
                                               for line in MEMSH.splitlines() if "=" in line]
SIZES = {"$": 63, "B": 1, "H": 1, "O": 1, "M": 2, "W": 2, "L": 4, "D": 8}


def test_count_names_and_records_follow_the_declarations(native):
    assert tolsa.count() == len(DECLARED) == native.lib.TolsaGetNumberOfItems()
    assert tolsa.names() == [name for name, _ in DECLARED]
    tolsa.set("MEMSH_Setpoint", 42.5)
    tolsa.set("MEMSH_Label", "ready")
    records = tolsa.records()
    assert [(r.index, r.name, r.type, r.size) for r in records] == [
        (i, name, letter, SIZES.get(letter, 0)) for i, (name, letter) in enumerate(DECLARED)]
    assert all(isinstance(r, tolsa.Record) for r in records)
    assert records[tolsa.names().index("MEMSH_Setpoint")].value == 42.5
    assert records[tolsa.names().index("MEMSH_Label")].value == "ready"


def test_index_and_name_reach_the_same_record(native):
    index = native.index("MEMSH_Counter")
    tolsa.set(index, 31)
    assert tolsa.get("MEMSH_Counter") == 31
    tolsa.set("MEMSH_Counter", 32)
    assert tolsa.get(index) == 32


def test_a_name_declared_twice_finds_the_record_the_library_finds(native):
    chosen = native.index("MEMSH_Twice")
    tolsa.set("MEMSH_Twice", 7)
    assert native.stored("MEMSH_Twice") == b"\x07"
    assert tolsa.get(chosen) == 7


@pytest.mark.parametrize("key", ["IORSH_Nope", "iorsh_counter", "IORSH_Counter\0", "", "IORSH_\udc80x", -1, 1000])
def test_unknown_keys(key):
    for action in (lambda: tolsa.get(key), lambda: tolsa.set(key, 1)):
        with pytest.raises(tolsa.UnknownVariable) as raised:
            action()
        assert isinstance(raised.value, KeyError)
        assert raised.value.key == key
        assert (repr(key) if isinstance(key, str) else str(key)) in str(raised.value)


@pytest.mark.parametrize("key", [1.0, True, None, b"IORSH_Counter", ("IORSH_Counter",)])
def test_keys_of_the_wrong_kind(key):
    with pytest.raises(TypeError):
        tolsa.get(key)
    with pytest.raises(TypeError):
        tolsa.set(key, 1)


def test_index_past_the_end_names_the_count():
    with pytest.raises(tolsa.UnknownVariable, match="no variable at index %d \\(there are %d\\)"
                       % (tolsa.count(), tolsa.count())):
        tolsa.get(tolsa.count())


def test_an_unknown_name_is_logged_by_the_library():
    with pytest.raises(tolsa.UnknownVariable):
        tolsa.get("IORSH_NotDeclared")
    assert b"tried to access non-existing variable IORSH_NotDeclared\n" in Path("/kestor/tolsa_log.txt").read_bytes()


def test_families_by_declared_name(native):
    assert isinstance(tolsa.iorsh, MutableMapping) and isinstance(tolsa.memsh, MutableMapping)
    assert list(tolsa.iorsh) == [name[6:] for name, _ in DECLARED if name.startswith("IORSH_")]
    assert list(tolsa.memsh) == ["Counter", "Label", "Setpoint", "Twice"]  # Twice once
    assert len(tolsa.memsh) == 4
    tolsa.iorsh["Counter"] = 5
    tolsa.memsh["Counter"] = 6
    assert (tolsa.get("IORSH_Counter"), tolsa.get("MEMSH_Counter")) == (5, 6)
    assert (tolsa.iorsh["Counter"], tolsa.memsh["Counter"]) == (5, 6)
    assert tolsa.iorsh.get("Label", "none") == "none" and tolsa.memsh.get("Label") is not None
    assert "Label" in tolsa.memsh and "Label" not in tolsa.iorsh and 5 not in tolsa.iorsh
    assert tolsa.iorsh.get(5) is None
    with pytest.raises(tolsa.UnknownVariable, match="IORSH_Label"):
        tolsa.iorsh["Label"]
    with pytest.raises(TypeError):
        del tolsa.iorsh["Counter"]
    with pytest.raises(TypeError):
        tolsa.memsh.pop("Counter")
    with pytest.raises(ValueError):
        tolsa.memsh["Counter"] = 2**40
    with pytest.raises(TypeError):
        tolsa.memsh[1] = 2
    assert tolsa.memsh["Counter"] == 6
    assert dict(tolsa.memsh)["Setpoint"] == tolsa.get("MEMSH_Setpoint")


def test_array_is_the_area_itself(native):
    area = tolsa.array()
    assert area.dtype.itemsize == 328 and area.dtype.names == ("name", "type", "size", "value")
    assert [area.dtype.fields[f][1] for f in area.dtype.names] == [0, 256, 260, 264]
    assert area.dtype["name"] == numpy.dtype("S256") and area.dtype["type"] == numpy.dtype("S1")
    assert area.dtype["size"] == numpy.dtype("<i4") and area.dtype["value"] == numpy.dtype("V64")
    assert len(area) == tolsa.count()
    assert area.ctypes.data == native.lib.TolsaGetPointer()  # no copy: the area's own address
    assert [n.decode() for n in area["name"]] == tolsa.names()
    assert [t.decode() for t in area["type"]] == [r.type for r in tolsa.records()]
    assert list(area["size"]) == [r.size for r in tolsa.records()]
    index = native.index("IORSH_Counter")
    tolsa.set("IORSH_Counter", 123456)
    assert area[index]["value"].tobytes()[:4] == (123456).to_bytes(4, "little")
    area[index]["value"] = (654321).to_bytes(4, "little") + bytes(60)  # and the other way
    assert tolsa.get("IORSH_Counter") == 654321


def test_array_without_numpy_says_why(monkeypatch):
    import builtins
    real_import = builtins.__import__

    def no_numpy(name, *args, **kwargs):
        if name == "numpy":
            raise ImportError("No module named 'numpy'")
        return real_import(name, *args, **kwargs)

    monkeypatch.setattr(builtins, "__import__", no_numpy)
    with pytest.raises(ImportError, match="numpy is needed for tolsa.array\\(\\) only"):
        tolsa.array()
    assert tolsa.get("IORSH_Counter") is not None  # the rest still works
