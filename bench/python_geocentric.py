"""fieldkit.to_xyz and fieldkit.to_blh on numpy arrays against PROJ's Python bindings
(pyproj Transformer, EPSG:4979 <-> EPSG:4978, always_xy), in the same run.

    python_geocentric.py [--points N] [--repetitions R] [--markdown FILE] [--module-path DIR]

The points are seeded and cover the whole range to_xyz accepts (any latitude, any longitude
in one turn, heights within 100 km). fieldkit runs twice: on one thread (threads=1) and on
every core (the default). Each repetition times the six cases in a fresh random order, so a burst of load elsewhere on the machine falls on both sides alike; the figures are
the medians, in wall-clock time per pass over all points. Run it with the interpreter that has
numpy and pyproj (bench/run does, with the module of the bench preset).
"""

import argparse
import os
import pathlib
import random
import statistics
import sys
import time

import numpy as np

# (name, fieldkit case, peer case, target ratio); no target for one thread, shown to compare
ROWS = [
    ("to_xyz vs Transformer 4979->4978, every core", "fieldkit forward", "proj forward", 0.25),
    ("to_blh vs Transformer 4978->4979, every core", "fieldkit inverse", "proj inverse", 0.45),
    ("to_xyz vs Transformer 4979->4978, threads=1", "fieldkit forward 1", "proj forward", None),
    ("to_blh vs Transformer 4978->4979, threads=1", "fieldkit inverse 1", "proj inverse", None),
]


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--points", type=int, default=1_000_000)
    parser.add_argument("--repetitions", type=int, default=10)
    parser.add_argument("--markdown", metavar="FILE", help="also write the table in Markdown")
    parser.add_argument("--module-path", default=str(pathlib.Path(__file__).resolve().parent.parent
                                                     / "build" / "bench" / "python"))
    args = parser.parse_args()
    sys.path.insert(0, args.module_path)
    import fieldkit
    from pyproj import Transformer
    import pyproj

    rng = np.random.default_rng(20240611)
    lat = rng.uniform(-90, 90, args.points)
    lon = rng.uniform(-180, 180, args.points)
    h = rng.uniform(-100000, 100000, args.points)
    forward = Transformer.from_crs("EPSG:4979", "EPSG:4978", always_xy=True)
    inverse = Transformer.from_crs("EPSG:4978", "EPSG:4979", always_xy=True)
    x, y, z = fieldkit.to_xyz(lat, lon, h)

    cases = {
        "fieldkit forward": lambda: fieldkit.to_xyz(lat, lon, h),
        "fieldkit forward 1": lambda: fieldkit.to_xyz(lat, lon, h, threads=1),
        "proj forward": lambda: forward.transform(lon, lat, h),
        "fieldkit inverse": lambda: fieldkit.to_blh(x, y, z),
        "fieldkit inverse 1": lambda: fieldkit.to_blh(x, y, z, threads=1),
        "proj inverse": lambda: inverse.transform(x, y, z),
    }
    times = {name: [] for name in cases}
    order = list(cases)
    shuffle = random.Random(7)
    for name in order:  # warm-up: first-touch page faults, PROJ's database
        cases[name]()
    for _ in range(args.repetitions):
        shuffle.shuffle(order)
        for name in order:
            start = time.perf_counter()
            cases[name]()
            times[name].append(time.perf_counter() - start)
    median = {name: statistics.median(t) for name, t in times.items()}

    # The two agree: the largest differences between fieldkit's and PROJ's results.
    px, py, pz = forward.transform(lon, lat, h)
    plon, plat, ph = inverse.transform(x, y, z)
    blat, blon, bh = fieldkit.to_blh(x, y, z)
    xyz_error = max(np.abs(x - px).max(), np.abs(y - py).max(), np.abs(z - pz).max())
    angle_error = max(np.abs(blat - plat).max(), np.abs(blon - plon).max())
    height_error = np.abs(bh - ph).max()

    def ms(seconds):
        return f"{seconds * 1e3:.1f} ms ({seconds / args.points * 1e9:.0f} ns/point)"

    header = ["workload", "fieldkit", "PROJ", "ratio", "target", "mark"]
    table = []
    for label, ours, peer, target in ROWS:
        ratio = median[ours] / median[peer]
        table.append([f"{label}, {args.points:,} points", ms(median[ours]), ms(median[peer]),
                      f"{ratio:.2f}", "-" if target is None else f"<= {target:g} x",
                      "n/a" if target is None else "pass" if ratio <= target else "MISS"])
    table.append(["largest difference from PROJ: xyz; lat, lon; h",
                  f"{xyz_error:.1e} m; {angle_error:.1e} deg; {height_error:.1e} m", "-", "-",
                  "(accuracy)", "n/a"])
    versions = (f"numpy {np.__version__}, pyproj {pyproj.__version__} "
                f"(PROJ {pyproj.proj_version_str}), {args.repetitions} repetitions, medians, "
                f"{os.cpu_count()} cores")
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
