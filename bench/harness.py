"""The benchmark harness for Python: the same rules as bench/harness/Harness.h.

A (the library) and B (its floor or peer) run in alternating blocks in one
run, over the same data; each round gives one ratio A/B, and the verdict rests
on the p10..p90 band of those ratios:
  met       the whole band is on the right side of the goal,
  NOT MET   the whole band is on the wrong side,
  unstable  the band straddles the goal (the spread is printed).

Usage:

    import sys
    sys.path.insert(0, "<repo>/bench")
    import harness as hb

    h = hb.Harness("tolsa_bench_python", sys.argv[1:])  # --json FILE --rounds N --block-ms MS --quick --filter TEXT
    h.compare("python read by index <= 3x ctypes floor",
              ("read_var", hb.timed(lambda n: [lib.read(i) for i in range(n)])),
              ("ctypes floor", hb.timed(lambda n: ...)),
              goal=hb.at_most(3.0))            # on median A / B; hb.at_least(x); None
    h.value("some fixed figure", "name", 61.2, unit="bytes", goal=hb.at_most(80))
    sys.exit(h.finish())                         # prints the table, writes the JSON file

A block is a callable taking `iterations` and returning the nanoseconds they
took in total; `timed(body)` wraps a plain body with time.perf_counter_ns. A
block that returns a negative number marks the comparison "failed". Unless
`iterations=` is given, each side is calibrated once to last about
--block-ms. compare() also takes unit=, placement=, iterations= and rounds=.
The JSON file has the same shape as the C++ harness writes; bench/report.py
merges, prints and counts them.
"""

import argparse
import json
import math
import os
import sys
import time

__all__ = ["Harness", "timed", "at_most", "at_least", "percentile", "verdict", "cpu_model"]


def at_most(bound):
    return {"at_most": float(bound)}


def at_least(bound):
    return {"at_least": float(bound)}


def timed(body, clock=time.perf_counter_ns):
    """A block that times body(iterations) with `clock` (nanoseconds)."""

    def block(iterations):
        start = clock()
        body(iterations)
        return float(clock() - start)

    return block


def percentile(values, fraction):
    """Linear between ranks, as the C++ harness does."""
    if not values:
        return math.nan
    ordered = sorted(values)
    rank = fraction * (len(ordered) - 1)
    low = math.floor(rank)
    high = min(low + 1, len(ordered) - 1)
    return ordered[low] + (ordered[high] - ordered[low]) * (rank - low)


def verdict(goal, p10, p90):
    """"met", "NOT MET" or "unstable" for the band p10..p90; "-" without a goal."""
    if not goal:
        return "-"
    if "at_most" in goal:
        bound = goal["at_most"]
        return "met" if p90 <= bound else "NOT MET" if p10 > bound else "unstable"
    bound = goal["at_least"]
    return "met" if p10 >= bound else "NOT MET" if p90 < bound else "unstable"


def goal_text(goal):
    if not goal:
        return "none"
    return ("<= %g" % goal["at_most"]) if "at_most" in goal else (">= %g" % goal["at_least"])


def cpu_model():
    try:
        with open("/proc/cpuinfo") as info:
            for line in info:
                if line.startswith("model name"):
                    return line.split(":", 1)[1].strip()
    except OSError:
        pass
    return "unknown"


def _calibrate(block, block_ns):
    iterations = 1
    while True:
        total = block(iterations)
        if total < 0:
            return 0
        if total >= block_ns or iterations >= 1 << 40:
            return iterations
        grow = block_ns / total if total > 0 else 16
        iterations = int(iterations * min(max(grow * 1.2, 2.0), 16.0))


class Harness:
    def __init__(self, program, argv):
        self.program = program
        parser = argparse.ArgumentParser(
            prog=program,
            description="Runs each library side and its floor or peer in alternating blocks and judges "
            "the median, p10 and p90 of the per-round ratios against the goal. Exit status: 0 done, "
            "1 a side failed or the JSON file could not be written, 2 a bad argument.",
        )
        parser.add_argument("--json", metavar="FILE", help="write the results as JSON")
        parser.add_argument("--rounds", type=int, default=21, help="rounds per comparison (default 21)")
        parser.add_argument("--block-ms", type=float, default=5.0, help="length of one block when calibrated")
        parser.add_argument("--quick", action="store_true", help="3 short rounds: checks that everything runs")
        parser.add_argument("--filter", default="", help="only the targets whose text contains TEXT")
        args = parser.parse_args(argv)
        if args.rounds < 1 or not args.block_ms > 0:
            parser.error("--rounds wants at least 1 and --block-ms a positive number")
        self.json_path = args.json
        self.filter = args.filter
        self.quick = args.quick
        self.rounds = 3 if args.quick else args.rounds
        self.block_ms = 0.2 if args.quick else args.block_ms
        self.rows = []
        self.failed = False

    def _selected(self, target):
        return not self.filter or self.filter in target

    def compare(self, target, a, b, goal=None, unit="ns", placement="", iterations=0, rounds=0):
        """a and b are (name, block) pairs; the ratio is A / B."""
        if not self._selected(target):
            return None
        (name_a, block_a), (name_b, block_b) = a, b
        rounds = self.rounds if self.quick or rounds <= 0 else rounds
        block_ns = self.block_ms * 1e6
        iter_a = iterations or _calibrate(block_a, block_ns)
        iter_b = iterations or _calibrate(block_b, block_ns)
        per_a, per_b, ratios = [], [], []
        failed = not iter_a or not iter_b
        for round_ in range(rounds):
            if failed:
                break
            order = ((0, block_a, iter_a), (1, block_b, iter_b))
            got = [0.0, 0.0]
            # A B, then B A: neither side always runs right after the other.
            for slot, block, n in order if round_ % 2 == 0 else reversed(order):
                total = block(n)
                got[slot] = -1.0 if total < 0 else total / n
            if got[0] < 0 or got[1] <= 0:
                failed = True
                break
            per_a.append(got[0])
            per_b.append(got[1])
            ratios.append(got[0] / got[1])
        median = percentile(ratios, 0.5)
        p10, p90 = percentile(ratios, 0.1), percentile(ratios, 0.9)
        result = "failed" if failed else verdict(goal, p10, p90)
        self.failed = self.failed or failed
        row = {
            "target": target, "kind": "ratio",
            "a": {"name": name_a, "median": percentile(per_a, 0.5), "iterations": iter_a},
            "b": {"name": name_b, "median": percentile(per_b, 0.5), "iterations": iter_b},
            "unit": unit, "ratio": {"median": median, "p10": p10, "p90": p90},
            "goal": goal, "verdict": result, "rounds": len(ratios), "placement": placement, "ratios": ratios,
        }
        self.rows.append(row)
        print("%-52s %s" % (target, result))
        print("    %-36s %12.1f %s" % (name_a, row["a"]["median"], unit))
        print("    %-36s %12.1f %s" % (name_b, row["b"]["median"], unit))
        print("    ratio %.3g  [p10 %.3g, p90 %.3g]  goal %s  rounds %d%s"
              % (median, p10, p90, goal_text(goal), len(ratios), ("  " + placement) if placement else ""))
        sys.stdout.flush()
        return row

    def value(self, target, name, value, unit="", goal=None):
        """A figure measured once (deterministic), judged directly."""
        if not self._selected(target):
            return None
        row = {"target": target, "kind": "value", "name": name, "value": value, "unit": unit,
               "goal": goal, "verdict": verdict(goal, value, value)}
        self.rows.append(row)
        print("%-52s %s" % (target, row["verdict"]))
        print("    %-36s %12.1f %s  goal %s" % (name, value, unit, goal_text(goal)))
        sys.stdout.flush()
        return row

    def finish(self):
        """Writes the JSON file; 0, or 1 when a side failed or the file could not be written."""
        if self.json_path:
            document = {"program": self.program, "cpu_model": cpu_model(),
                        "load_average": list(os.getloadavg()), "quick": self.quick, "targets": self.rows}
            try:
                with open(self.json_path, "w") as out:
                    json.dump(_finite(document), out, indent=1)
            except OSError as error:
                print("%s: cannot write %s: %s" % (self.program, self.json_path, error), file=sys.stderr)
                return 1
        return 1 if self.failed else 0


def _finite(value):
    """NaN becomes null, as the C++ harness writes it."""
    if isinstance(value, float) and not math.isfinite(value):
        return None
    if isinstance(value, dict):
        return {k: _finite(v) for k, v in value.items()}
    if isinstance(value, list):
        return [_finite(v) for v in value]
    return value
