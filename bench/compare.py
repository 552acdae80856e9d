#!/usr/bin/env python3
"""Turns the runs of bench/compare into one table: per benchmark the median wall-clock time
before and after, their ratio (after / before), how far that ratio can be trusted (the range
that holds 90 % of the ratios of resampled runs), and a pass or miss mark against the limit.

Usage: bench/compare.py [--limit 1.10] [--time real|cpu] [--markdown] RESULTS_FOLDER

--time cpu judges by the process's CPU time (user + system) instead of wall-clock time: steadier
when other programs compete for the processors, but blind to waiting for the disk.

RESULTS_FOLDER holds before-<program>-<round>.json and after-<program>-<round>.json.
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
    """side -> benchmark name -> list of times in ns; names in order of first appearance;
    name -> error message of a run that failed."""
    times = {"before": {}, "after": {}}
    order, errors = [], {}
    for side in times:
        for path in sorted(glob.glob(os.path.join(folder, f"{side}-*.json"))):
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
                ns = b[key] * UNIT_NS[b.get("time_unit", "ns")]
                times[side].setdefault(name, []).append(ns)
    return times, order, errors


def fmt_time(ns):
    for unit, scale in (("s", 1e9), ("ms", 1e6), ("us", 1e3)):
        if ns >= scale:
            return f"{ns / scale:.3g} {unit}"
    return f"{ns:.3g} ns"


def interval(before, after, rounds=2000):
    """The 5th and 95th percentiles of the ratio of medians over runs drawn again with
    replacement on each side: when that range straddles the limit, the mark is down to noise."""
    if len(before) < 4 or len(after) < 4:
        return "-"
    rng = random.Random(20240601)  # the same table for the same runs
    ratios = sorted(
        statistics.median(rng.choices(after, k=len(after))) /
        statistics.median(rng.choices(before, k=len(before))) for _ in range(rounds))
    return f"{ratios[rounds // 20]:.2f} - {ratios[rounds - 1 - rounds // 20]:.2f}"


def table(folder, limit, key):
    times, order, errors = load(folder, key)
    rows = []
    for name in order:
        before, after = times["before"].get(name), times["after"].get(name)
        if name in errors or not before or not after:
            why = errors.get(name) or "only measured " + ("after" if after else "before")
            rows.append([name, "-", "-", "-", "-", f"error ({why})"])
            continue
        mb, ma = statistics.median(before), statistics.median(after)
        ratio = ma / mb
        rows.append([name, fmt_time(mb), fmt_time(ma), f"{ratio:.3f}", interval(before, after),
                     "pass" if ratio <= limit else "MISS"])
    runs = min((len(v) for side in times.values() for v in side.values()), default=0)
    return rows, runs


def render(rows, runs, limit, markdown):
    header = ["benchmark", "before", "after", "after/before", "90% range", f"<= {limit:.2f}"]
    if markdown:
        lines = ["| " + " | ".join(header) + " |", "|" + "|".join(["---"] * len(header)) + "|"]
        lines += ["| " + " | ".join(r) + " |" for r in rows]
        return "\n".join(lines)
    widths = [max(len(r[i]) for r in [header] + rows) for i in range(len(header))]

    def line(r):
        return "  ".join(c.ljust(w) for c, w in zip(r, widths)).rstrip()

    out = [line(header), "  ".join("-" * w for w in widths)]
    out += [line(r) for r in rows]
    passed = sum(1 for r in rows if r[-1] == "pass")
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
