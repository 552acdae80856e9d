"""What the Python benchmarks share: their command line, interleaved timing and the table.

Each benchmark times named cases (functions of no argument). Every repetition runs all of
them in a fresh random order, so a burst of load elsewhere on the machine falls on every side
alike; the figures are medians. One untimed pass first takes the first-touch page faults and
the peers' set-up out of the figures.
"""

import argparse
import pathlib
import random
import statistics
import sys
import time


def arguments(doc, repetitions):
    """The parsed command line (--points, --repetitions, --markdown, --module-path); the module
    path is put first on sys.path, so that `import fieldkit` finds the bench build's module."""
    parser = argparse.ArgumentParser(description=doc.splitlines()[0])
    parser.add_argument("--points", type=int, default=1_000_000)
    parser.add_argument("--repetitions", type=int, default=repetitions)
    parser.add_argument("--markdown", metavar="FILE", help="also write the table in Markdown")
    parser.add_argument("--module-path", default=str(pathlib.Path(__file__).resolve().parent.parent
                                                     / "build" / "bench" / "python"))
    args = parser.parse_args()
    sys.path.insert(0, args.module_path)
    return args


def medians(cases, repetitions, seed):
    """The median wall-clock time of each case, in seconds, over interleaved repetitions."""
    for case in cases.values():
        case()
    times = {name: [] for name in cases}
    order = list(cases)
    shuffle = random.Random(seed)
    for _ in range(repetitions):
        shuffle.shuffle(order)
        for name in order:
            start = time.perf_counter()
            cases[name]()
            times[name].append(time.perf_counter() - start)
    return {name: statistics.median(t) for name, t in times.items()}


def mark(ratio, target):
    """The target and whether the ratio meets it ("-" and "n/a" for no target)."""
    if target is None:
        return "-", "n/a"
    return f"<= {target:g} x", "pass" if ratio <= target else "MISS"


def show(versions, header, table, markdown=None):
    """Prints the table under its line of versions, and writes it in Markdown when asked."""
    widths = [max(len(r[i]) for r in [header] + table) for i in range(len(header))]
    print(versions)
    for row in [header] + table:
        print("  ".join(cell.ljust(w) for cell, w in zip(row, widths)).rstrip())
    if markdown:
        with open(markdown, "w", encoding="utf-8") as out:
            out.write(versions + "\n\n")
            for row in [header, ["---"] * len(header)] + table:
                out.write("| " + " | ".join(row) + " |\n")
