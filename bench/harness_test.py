"""bench/harness.py on made-up timings: the same arithmetic and verdicts as
the C++ harness (bench/harness/HarnessTest.cpp holds the same cases)."""

import json
import os
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import harness as hb  # noqa: E402


def costs(*per_iteration):
    calls = [0]

    def block(iterations):
        value = per_iteration[calls[0] % len(per_iteration)]
        calls[0] += 1
        return value * iterations

    return block


class HarnessTest(unittest.TestCase):
    def test_percentiles_are_linear_between_ranks(self):
        self.assertAlmostEqual(hb.percentile([5, 1, 4, 2, 3], 0.1), 1.4)
        self.assertAlmostEqual(hb.percentile([5, 1, 4, 2, 3], 0.9), 4.6)
        self.assertEqual(hb.percentile([7], 0.9), 7)

    def test_verdict_rests_on_the_whole_band(self):
        cases = [
            (hb.at_most(2), 1.5, 1.9, "met"), (hb.at_most(2), 1.5, 2.0, "met"),
            (hb.at_most(2), 1.5, 2.1, "unstable"), (hb.at_most(2), 2.0, 2.1, "unstable"),
            (hb.at_most(2), 2.01, 3, "NOT MET"), (hb.at_least(3), 3, 4, "met"),
            (hb.at_least(3), 2.9, 3.1, "unstable"), (hb.at_least(3), 1, 2.9, "NOT MET"),
            (None, 1, 100, "-"),
        ]
        for goal, p10, p90, expected in cases:
            self.assertEqual(hb.verdict(goal, p10, p90), expected, (goal, p10, p90))

    def test_run_writes_the_same_shape_as_the_cxx_harness(self):
        with tempfile.TemporaryDirectory() as directory:
            path = os.path.join(directory, "run.json")
            h = hb.Harness("test", ["--json", path, "--rounds", "9"])
            h.compare("steady", ("A", costs(3)), ("B", costs(1)), goal=hb.at_most(2))
            h.compare("per declaration", ("A", costs(3000), 1000), ("B", costs(2)), goal=hb.at_most(2))
            h.compare("swinging", ("A", costs(1)), ("B", costs(1, 0.25)), goal=hb.at_most(2))
            calls = [0]

            def fails_later(iterations):
                calls[0] += 1
                return -1 if calls[0] > 8 else iterations

            h.compare("breaks", ("A", fails_later), ("B", costs(1)), goal=hb.at_most(2))
            self.assertEqual(h.finish(), 1)
            with open(path) as f:
                run = json.load(f)
        self.assertEqual(set(run), {"program", "cpu_model", "load_average", "quick", "targets"})
        steady, per, swinging, breaks = run["targets"]
        self.assertEqual(steady["a"]["median"], 3)
        self.assertEqual(steady["ratio"], {"median": 3, "p10": 3, "p90": 3})
        self.assertEqual((steady["verdict"], steady["rounds"]), ("NOT MET", 9))
        self.assertEqual((per["ratio"]["median"], per["verdict"]), (1.5, "met"))
        self.assertEqual(swinging["verdict"], "unstable")
        self.assertEqual(breaks["verdict"], "failed")
        self.assertEqual(set(steady), {"target", "kind", "a", "b", "unit", "ratio", "goal", "verdict", "rounds",
                                       "placement", "note", "ratios"})


if __name__ == "__main__":
    unittest.main()
