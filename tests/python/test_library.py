"""Finding the library: TOLSA_LIBRARY, then beside the package, then the system; and no area at all."""

import os
import shutil
import subprocess
from pathlib import Path

import pytest
from conftest import PACKAGE_ROOT, run_python

import tolsa

LIBRARY = Path(tolsa.library_path).resolve()
WHICH = ("import tolsa\n"
         "mapped = {l.split()[-1] for l in open('/proc/self/maps') if 'libtolsa64' in l}\n"
         "print(tolsa.library_path); print(*sorted(mapped)); print(tolsa.count())\n")


def system_has_library() -> bool:
    listing = subprocess.run(["ldconfig", "-p"], capture_output=True, text=True).stdout
    return "libtolsa64.so.4 " in listing


@pytest.fixture
def places(tmp_path):
    """A copy of the package without a library, and two folders each holding a copy of the library."""
    package = tmp_path / "site"
    shutil.copytree(PACKAGE_ROOT / "tolsa", package / "tolsa", ignore=shutil.ignore_patterns("__pycache__", "*.so*"))
    for folder in ("env", "system"):
        (tmp_path / folder).mkdir()
        shutil.copy(LIBRARY, tmp_path / folder / "libtolsa64.so.4")
    return tmp_path


def run_from(places, beside=False, **variables):
    if beside:
        shutil.copy(LIBRARY, places / "site" / "tolsa" / "libtolsa64.so.4")
    env = {key: value for key, value in os.environ.items() if key not in ("TOLSA_LIBRARY", "LD_LIBRARY_PATH")}
    env.update(PYTHONPATH=str(places / "site"), **variables)
    return run_python(WHICH, env=env, cwd=places)


def expect_loaded(result, path, shown=None):
    assert result.returncode == 0, result.stderr
    library_path, mapped, count = result.stdout.splitlines()
    assert mapped == str(path)
    assert library_path == (shown or str(path))
    assert int(count) == tolsa.count()  # start-up ran and found the same area


def test_environment_variable_comes_first(places):
    expect_loaded(run_from(places, beside=True, TOLSA_LIBRARY=str(places / "env" / "libtolsa64.so.4"),
                           LD_LIBRARY_PATH=str(places / "system")), places / "env" / "libtolsa64.so.4")


def test_beside_the_package_comes_before_the_system(places):
    expect_loaded(run_from(places, beside=True, LD_LIBRARY_PATH=str(places / "system")),
                  places / "site" / "tolsa" / "libtolsa64.so.4")


def test_the_system_comes_last(places):
    expect_loaded(run_from(places, LD_LIBRARY_PATH=str(places / "system")),
                  places / "system" / "libtolsa64.so.4", shown="libtolsa64.so.4")


def test_a_bad_environment_variable_falls_through_and_is_listed(places):
    result = run_from(places, TOLSA_LIBRARY="env/libtolsa64.so.4", LD_LIBRARY_PATH=str(places / "system"))
    expect_loaded(result, places / "system" / "libtolsa64.so.4", shown="libtolsa64.so.4")


@pytest.mark.skipif(system_has_library(), reason="this machine has libtolsa64.so.4 installed")
@pytest.mark.parametrize("setting,listed", [
    (None, "TOLSA_LIBRARY: not set"),
    ("env/libtolsa64.so.4", "TOLSA_LIBRARY=env/libtolsa64.so.4: not a full path"),
    ("/nonexistent/libtolsa64.so.4", "TOLSA_LIBRARY=/nonexistent/libtolsa64.so.4: /nonexistent/libtolsa64.so.4: "
                                     "cannot open shared object file"),
])
def test_nothing_found_lists_every_place(places, setting, listed):
    result = run_from(places, **({"TOLSA_LIBRARY": setting} if setting else {}))
    assert result.returncode == 1
    assert "ImportError: tolsa: cannot load the tolsa library; tried, in this order:" in result.stderr
    lines = result.stderr.split("in this order:\n", 1)[1].splitlines()
    assert lines[0].startswith("  " + listed)
    assert lines[1] == "  %s: no such file" % (places / "site" / "tolsa" / "libtolsa64.so.4")
    assert lines[2].startswith("  the system's libtolsa64.so.4: libtolsa64.so.4: cannot open shared object file")


def test_without_definition_files_there_are_no_variables(tmp_path):
    """Start-up publishes no area: everything says so rather than failing in another way."""
    hidden = tmp_path / "iorsh.mem"
    shutil.move("/kestor/iorsh.mem", hidden)
    try:
        result = run_python(
            "import tolsa\n"
            "print(tolsa.count(), tolsa.names(), tolsa.records(), len(tolsa.iorsh), len(tolsa.array()))\n"
            "for key in ('IORSH_Counter', 0):\n"
            "    try: tolsa.get(key)\n"
            "    except tolsa.UnknownVariable as e: print(e)\n")
    finally:
        shutil.move(hidden, "/kestor/iorsh.mem")
    assert result.returncode == 0, result.stderr
    assert result.stdout == ("0 [] [] 0 0\nno variable named 'IORSH_Counter'\nno variable at index 0 (there are 0)\n")


def test_windows_lookup_adds_the_package_folder_before_loading_by_name(monkeypatch):
    """The Windows branch, with the loader faked: Windows itself is not run here."""
    from tolsa import _library
    added, loaded = [], []

    def load(target):
        loaded.append((target, list(added)))
        raise OSError("%s: not found" % target)

    monkeypatch.setattr(_library, "ON_WINDOWS", True)
    monkeypatch.setattr(_library, "LIBRARY_NAME", "tolsa64.dll")
    monkeypatch.setattr(_library, "_dll_directory", None)
    monkeypatch.setattr(_library.os, "add_dll_directory", lambda path: added.append(path) or "handle", raising=False)
    monkeypatch.setattr(_library.ctypes, "CDLL", load)
    monkeypatch.setenv("TOLSA_LIBRARY", "C:\\tolsa\\tolsa64.dll" if os.name == "nt" else "/tolsa/tolsa64.dll")
    with pytest.raises(ImportError) as raised:
        _library.find_library()
    package = str(PACKAGE_ROOT / "tolsa")
    assert loaded == [(os.environ["TOLSA_LIBRARY"], []), ("tolsa64.dll", [package])]
    assert _library._dll_directory == "handle"  # kept, or the folder leaves the search path again
    assert str(raised.value).splitlines()[1:] == [
        "  TOLSA_LIBRARY=%s: %s: not found" % (os.environ["TOLSA_LIBRARY"], os.environ["TOLSA_LIBRARY"]),
        "  %s: no such file" % os.path.join(package, "tolsa64.dll"),
        "  the system's tolsa64.dll: tolsa64.dll: not found"]
