#!/usr/bin/env python3
"""Merges, prints and counts the harness's JSON files (see bench/harness.py).

  report.py run DIR          merges DIR/*.json (one per benchmark program) into
                             DIR.json, the record of one run, and prints its table
  report.py repeat RUN.json...  prints, per target, how many runs gave each verdict
                             and the spread of the ratio medians, and writes
                             summary.json beside the first run

Exit status: 0 done, 2 a bad command line or no JSON file to read.
"""

import glob
import json
import os
import platform
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import harness  # noqa: E402


def _number(value, width=10):
    return ("%*.1f" % (width, value)) if isinstance(value, (int, float)) else "%*s" % (width, "-")


def _ratio(value):
    return ("%.3g" % value) if isinstance(value, (int, float)) else "-"


def merge_run(directory):
    files = sorted(glob.glob(os.path.join(directory, "*.json")))
    if not files:
        print("report.py: no JSON files in %s" % directory, file=sys.stderr)
        return None
    programs, targets, loads = [], [], []
    cpu = "unknown"
    for path in files:
        with open(path) as f:
            document = json.load(f)
        programs.append(document["program"])
        cpu = document.get("cpu_model", cpu)
        loads.append(document.get("load_average"))
        for target in document["targets"]:
            target["program"] = document["program"]
            targets.append(target)
    run = {"started": time.strftime("%Y-%m-%dT%H:%M:%SZ", time.gmtime(os.path.getmtime(files[0]))),
           "host": platform.node(), "cpu_model": cpu, "cpus": os.cpu_count(), "programs": programs,
           "load_averages": loads, "targets": targets}
    with open(directory.rstrip("/") + ".json", "w") as out:
        json.dump(run, out, indent=1)
    return run


def print_run(run):
    print("%-58s %-22s %10s  %-22s %10s  %-24s %s" % ("target", "A", "median", "B", "median", "ratio [p10, p90]",
                                                   "verdict"))
    for t in run["targets"]:
        if t["kind"] == "value":
            print("%-58s %-22s %10.1f  %-22s %10s  %-24s %s" % (t["target"], t["name"], t["value"], t["unit"], "",
                                                                "goal " + harness.goal_text(t["goal"]), t["verdict"]))
            continue
        r = t["ratio"]
        band = "%s [%s, %s]" % (_ratio(r["median"]), _ratio(r["p10"]), _ratio(r["p90"]))
        print("%-58s %-22s %s  %-22s %s  %-24s %s" % (t["target"], t["a"]["name"][:22], _number(t["a"]["median"]),
                                                      t["b"]["name"][:22], _number(t["b"]["median"]), band,
                                                      t["verdict"]))


def repeat(paths):
    runs = []
    for path in paths:
        with open(path) as f:
            runs.append(json.load(f))
    order, by_target = [], {}
    for run in runs:
        for t in run["targets"]:
            if t["target"] not in by_target:
                order.append(t["target"])
                by_target[t["target"]] = []
            by_target[t["target"]].append(t)
    summary = []
    print("%-58s %-10s %-34s %s" % ("target (goal)", "met", "verdicts", "ratio medians (value), run by run"))
    for name in order:
        seen = by_target[name]
        goal = seen[0].get("goal")
        counts = {}
        for t in seen:
            counts[t["verdict"]] = counts.get(t["verdict"], 0) + 1
        figures = [t["value"] if t["kind"] == "value" else t["ratio"]["median"] for t in seen]
        spread = ", ".join(_ratio(x) for x in figures)
        verdicts = ", ".join("%s %d" % (v, n) for v, n in sorted(counts.items()))
        met = "-" if not goal else "%d/%d" % (counts.get("met", 0), len(runs))
        print("%-58s %-10s %-34s %s" % ("%s (%s)" % (name, harness.goal_text(goal)) if goal else name,
                                        met, verdicts, spread))
        summary.append({"target": name, "goal": goal, "runs": len(seen), "verdicts": counts, "figures": figures,
                        "p10s": [t["ratio"]["p10"] for t in seen if t["kind"] == "ratio"],
                        "p90s": [t["ratio"]["p90"] for t in seen if t["kind"] == "ratio"]})
    with open(os.path.join(os.path.dirname(os.path.abspath(paths[0])), "summary.json"), "w") as out:
        json.dump({"runs": len(runs), "cpu_model": runs[0].get("cpu_model"), "targets": summary}, out, indent=1)


def main(argv):
    if len(argv) >= 2 and argv[0] == "run":
        run = merge_run(argv[1])
        if run is None:
            return 2
        print_run(run)
        return 0
    if len(argv) >= 2 and argv[0] == "repeat":
        repeat(argv[1:])
        return 0
    print(__doc__, file=sys.stderr)
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
