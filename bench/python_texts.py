"""The Python module's texts on numpy arrays against a Python loop over the same functions'
scalar calls, in the same run: latitudes to DMS text and the texts read back.

    python_texts.py [--points N] [--repetitions R] [--markdown FILE] [--module-path DIR]

Each side does the same work on the same seeded latitudes: the loop builds a list of texts
with one `lat_to_dms` call a value and reads them back with one `parse_lat` call a text; the
array side makes one call for all the values (threads=1, and every core) and one to read the
resulting array back. Each repetition times the cases in a fresh random order, so a burst of
load elsewhere on the machine falls on every side alike; the figures are medians. Run it with
the interpreter the module was built for (bench/run does).
"""

import argparse
import pathlib
import random
import statistics
import sys
import time

import numpy as np

# (label, fieldkit case, floor case, target ratio)
ROWS = [
    ("lat_to_dms, array, 1 thread", "array to text, 1 thread", "loop to text", 0.1),
    ("lat_to_dms, array, every core", "array to text", "loop to text", 0.1),
    ("parse_lat, array, 1 thread", "array read, 1 thread", "loop read", 0.1),
    ("parse_lat, array, every core", "array read", "loop read", 0.1),
    ("to DMS and back, array, every core", "array round trip", "loop round trip", 0.1),
]


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--points", type=int, default=1_000_000)
    parser.add_argument("--repetitions", type=int, default=5)
    parser.add_argument("--markdown", metavar="FILE", help="also write the table in Markdown")
    parser.add_argument("--module-path", default=str(pathlib.Path(__file__).resolve().parent.parent
                                                     / "build" / "bench" / "python"))
    args = parser.parse_args()
    sys.path.insert(0, args.module_path)
    import fieldkit

    rng = np.random.default_rng(20261208)
    lat = rng.uniform(-90, 90, args.points)
    as_list = lat.tolist()
    texts = fieldkit.lat_to_dms(lat)
    text_list = texts.tolist()

    def loop_round_trip():
        return [fieldkit.parse_lat(fieldkit.lat_to_dms(v)) for v in as_list]

    cases = {
        "loop to text": lambda: [fieldkit.lat_to_dms(v) for v in as_list],
        "array to text, 1 thread": lambda: fieldkit.lat_to_dms(lat, threads=1),
        "array to text": lambda: fieldkit.lat_to_dms(lat),
        "loop read": lambda: [fieldkit.parse_lat(t) for t in text_list],
        "array read, 1 thread": lambda: fieldkit.parse_lat(texts, threads=1),
        "array read": lambda: fieldkit.parse_lat(texts),
        "loop round trip": loop_round_trip,
        "array round trip": lambda: fieldkit.parse_lat(fieldkit.lat_to_dms(lat)),
    }
    # The two sides give the same: every text, every value read back.
    assert texts.tolist() == cases["loop to text"]()
    back = fieldkit.parse_lat(texts)
    assert np.array_equal(back, np.array(cases["loop read"]()))
    worst = np.abs(back - lat).max()

    times = {name: [] for name in cases}
    order = list(cases)
    shuffle = random.Random(11)
    for _ in range(args.repetitions):
        shuffle.shuffle(order)
        for name in order:
            start = time.perf_counter()
            cases[name]()
            times[name].append(time.perf_counter() - start)
    median = {name: statistics.median(t) for name, t in times.items()}

    def ms(seconds):
        return f"{seconds * 1e3:.1f} ms ({seconds / args.points * 1e9:.0f} ns/value)"

    header = ["workload", "fieldkit array", "Python loop", "ratio", "target", "mark"]
    table = []
    for label, ours, floor, target in ROWS:
        ratio = median[ours] / median[floor]
        table.append([f"{label}, {args.points:,} latitudes", ms(median[ours]), ms(median[floor]),
                      f"{ratio:.3f}", f"<= {target:g} x", "pass" if ratio <= target else "MISS"])
    table.append(["largest difference, read back - latitude", f"{worst:.1e} deg", "-", "-",
                  "(texts to 0.00001\")", "n/a"])
    versions = (f"numpy {np.__version__}, {args.repetitions} repetitions, medians")
    widths = [max(len(r[i]) for r in [header] + table) for i in range(len(header))]
    print(versions)
    for row in [header] + table:
        print("  ".join(cell.ljust(w) for cell, w in zip(row, widths)).rstrip())
    if args.markdown:
        with open(args.markdown, "w", encoding="utf-8") as out:
            out.write(versions + "\n\n")
            for row in [header, ["---"] * len(header)] + table:
                out.write("| " + " | ".join(row) + " |\n")


if __name__ == "__main__":
    main()
