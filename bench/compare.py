#!/usr/bin/env python3
"""Turns the runs of bench/compare into one table, per benchmark: the median time before and
after, their ratio (after / before) with a pass or miss mark against the limit, the median of
the ratios of the pairs run back to back, and the range that 90 % of the ratios of medians fall
in when the pairs are drawn again at random.

Usage: bench/compare.py [--limit 1.10] [--time real|cpu] [--markdown] RESULTS_FOLDER

--time cpu judges by the process's CPU time (user + system) instead of wall-clock time: steadier
when other programs compete for the processors, but blind to waiting for the disk.

RESULTS_FOLDER holds SIDE-PROGRAM-INDEX-ROUND.json for SIDE before and after; the two runs
with the same PROGRAM-INDEX-ROUND form a pair.
"""
import glob
import json
import os
import random
import re
import statistics
import sys

UNIT_NS = {"ns": 1.0, "us": 1e3, "ms": 1e6, "s": 1e9}
# Run settings that Google Benchmark appends to a name; they are the same on both sides.
SETTINGS = re.compile(r"/(real_time|iterations:\d+|min_time:[0-9.]+s?|repeats:\d+)")


def load(folder, key):
    """side -> benchmark name -> pair tag -> time in ns; names in order of first appearance;
    name -> error message of a run that failed."""
    times = {"before": {}, "after": {}}
    order, errors = [], {}
    for side in times:
        for path in sorted(glob.glob(os.path.join(folder, f"{side}-*.json"))):
            tag = os.path.basename(path)[len(side) + 1:-len(".json")]
            with open(path, encoding="utf-8") as f:
                data = json.load(f)
            for b in data.get("benchmarks", []):
                if b.get("run_type", "iteration") != "iteration":
                    continue
                name = SETTINGS.sub("", b.get("run_name", b["name"]))
                if name not in order:
                    order.append(name)
                if b.get("error_occurred"):
                    errors[name] = f"{side}: {b.get('error_message', 'error')}"
                    continue
                times[side].setdefault(name, {})[tag] = b[key] * UNIT_NS[b.get("time_unit", "ns")]
    return times, order, errors


def fmt_time(ns):
    for unit, scale in (("s", 1e9), ("ms", 1e6), ("us", 1e3)):
        if ns >= scale:
            return f"{ns / scale:.3g} {unit}"
    return f"{ns:.3g} ns"


def interval(pairs, draws=2000):
    """The 5th and 95th percentiles of the ratio of medians over pairs drawn again with
    replacement. Pairs are drawn whole: the load of the machine drifts over a run, and the two
    runs of a pair saw the same load. When the range straddles the limit, the mark is noise."""
    if len(pairs) < 4:
        return "-"
    rng = random.Random(20240601)  # the same table for the same runs
    ratios = []
    for _ in range(draws):
        drawn = rng.choices(pairs, k=len(pairs))
        ratios.append(statistics.median(a for _, a in drawn) /
                      statistics.median(b for b, _ in drawn))
    ratios.sort()
    return f"{ratios[draws // 20]:.2f} - {ratios[draws - 1 - draws // 20]:.2f}"


def table(folder, limit, key):
    times, order, errors = load(folder, key)
    rows = []
    runs = None
    for name in order:
        before, after = times["before"].get(name, {}), times["after"].get(name, {})
        pairs = [(before[t], after[t]) for t in sorted(before) if t in after]
        if name in errors or not pairs:
            why = errors.get(name) or "no run on both sides"
            rows.append([name, "-", "-", "-", "ERROR", "-", why])
            continue
        runs = len(pairs) if runs is None else min(runs, len(pairs))
        mb = statistics.median(b for b, _ in pairs)
        ma = statistics.median(a for _, a in pairs)
        ratio = ma / mb
        paired = statistics.median(a / b for b, a in pairs)
        rows.append([name, fmt_time(mb), fmt_time(ma), f"{ratio:.3f}",
                     "pass" if ratio <= limit else "MISS", f"{paired:.3f}", interval(pairs)])
    return rows, runs or 0


def render(rows, runs, limit, markdown):
    header = ["benchmark", "before", "after", "after/before", f"<= {limit:.2f}", "paired",
              "90% range"]
    if markdown:
        lines = ["| " + " | ".join(header) + " |", "|" + "|".join(["---"] * len(header)) + "|"]
        lines += ["| " + " | ".join(r) + " |" for r in rows]
        return "\n".join(lines)
    widths = [max(len(r[i]) for r in [header] + rows) for i in range(len(header))]

    def line(r):
        return "  ".join(c.ljust(w) for c, w in zip(r, widths)).rstrip()

    out = [line(header), "  ".join("-" * w for w in widths)]
    out += [line(r) for r in rows]
    passed = sum(1 for r in rows if r[4] == "pass")
    out.append(f"\n{passed} of {len(rows)} benchmarks within {limit:.2f} x"
               f" (medians of {runs} runs per side)")
    return "\n".join(out)


def main(argv):
    limit, markdown, key, folders = 1.10, False, "real_time", []
    args = iter(argv)
    for a in args:
        if a == "--markdown":
            markdown = True
        elif a == "--limit":
            limit = float(next(args, "1.10"))
        elif a == "--time":
            key = {"real": "real_time", "cpu": "cpu_time"}.get(next(args, ""), "")
            if not key:
                print("--time takes real or cpu", file=sys.stderr)
                return 2
        else:
            folders.append(a)
    if len(folders) != 1:
        print(__doc__.strip(), file=sys.stderr)
        return 2
    rows, runs = table(folders[0], limit, key)
    if not rows:
        print(f"no benchmark results in {folders[0]}", file=sys.stderr)
        return 1
    print(render(rows, runs, limit, markdown))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
