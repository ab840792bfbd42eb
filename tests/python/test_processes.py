"""Processes sharing one area: two Python processes, a C producer and a Python consumer, and watch."""

import os
import signal
import subprocess
import sys
import threading
import time

import pytest
import tolsa
from conftest import BUILD, run_python

PRODUCER = os.environ.get("TOLSA_PRODUCER", str(BUILD / "bin" / "producer"))

CHILD = """
import sys, time, tolsa
tolsa.set("MEMSH_Label", "from the child")
tolsa.memsh["Counter"] = 4242
deadline = time.monotonic() + 20
while tolsa.get("MEMSH_Setpoint") != 17.25:
    if time.monotonic() > deadline:
        sys.exit("the parent's value never came")
    time.sleep(0.005)
print("child saw", tolsa.get("MEMSH_Setpoint"))
"""


def wait_until(condition, seconds=20.0):
    deadline = time.monotonic() + seconds
    while not condition():
        assert time.monotonic() < deadline, "timed out"
        time.sleep(0.005)


def test_two_python_processes_exchange_values():
    for name, value in (("MEMSH_Setpoint", 0.0), ("MEMSH_Counter", 0), ("MEMSH_Label", "")):
        tolsa.set(name, value)
    child = subprocess.Popen([sys.executable, "-c", CHILD], stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
    try:
        wait_until(lambda: tolsa.get("MEMSH_Counter") == 4242 or child.poll() is not None)
        assert tolsa.get("MEMSH_Label") == "from the child"
        tolsa.set("MEMSH_Setpoint", 17.25)
        out, err = child.communicate(timeout=30)
    finally:
        if child.poll() is None:
            child.kill()
            child.wait()
    assert child.returncode == 0, err
    assert out == "child saw 17.25\n"


def test_python_watches_a_c_producer():
    tolsa.set("IORSH_Counter", 0)
    tolsa.set("IORSH_Octet", 0)
    # Ends the watch should the producer never finish: watch yields only on a change.
    stopper = threading.Timer(60, tolsa.set, ("IORSH_Octet", 1))
    producer = subprocess.Popen([PRODUCER, "--count", "30", "--interval", "30"], stderr=subprocess.PIPE, text=True)
    changes = []
    latest = {}
    try:
        stopper.start()
        for change in tolsa.watch(["IORSH_Count*", "IORSH_Status", "IORSH_Octet"], interval=0.01):
            changes.append(change)
            latest[change.name] = change.new
            # The last counter may show in the poll after the one that sees "stopped".
            if "IORSH_Octet" in latest or (latest.get("IORSH_Status") == "stopped" and
                                           latest.get("IORSH_Counter") == 30):
                break
    finally:
        stopper.cancel()
        producer.wait(timeout=30)
    assert producer.returncode == 0, producer.stderr.read()
    assert "IORSH_Octet" not in latest, "the producer never finished"
    assert [c.new for c in changes if c.name == "IORSH_Status"][-1] == "stopped"
    assert {c.name for c in changes} == {"IORSH_Counter", "IORSH_Status"}
    counters = [c for c in changes if c.name == "IORSH_Counter"]
    assert counters and counters[-1].new == 30 == tolsa.get("IORSH_Counter")
    assert all(c.old < c.new for c in counters)
    assert all(a.new == b.old for a, b in zip(counters, counters[1:]))  # every poll compares with the one before
    assert any(c.new.startswith(("rising, iteration", "falling, iteration")) for c in changes if c.name == "IORSH_Status")
    assert all(a.time <= b.time for a, b in zip(changes, changes[1:]))


def test_watch_ends_on_keyboard_interrupt():
    result = run_python(
        "import os, signal, threading, tolsa\n"
        "changes = tolsa.watch('IORSH_*', interval=0.05)\n"
        "threading.Timer(0.3, os.kill, (os.getpid(), signal.SIGINT)).start()\n"
        "print('ended with', list(changes))\n")
    assert result.returncode == 0, result.stderr
    assert result.stdout == "ended with []\n"


@pytest.mark.parametrize("patterns,interval,error", [
    ([1], 0.1, TypeError), ("*", "1", TypeError), ("*", True, TypeError),
    ("*", 0, ValueError), ("*", -1, ValueError), ("*", float("nan"), ValueError), ("*", float("inf"), ValueError),
])
def test_watch_refuses_bad_arguments_at_once(patterns, interval, error):
    with pytest.raises(error):
        tolsa.watch(patterns, interval)
