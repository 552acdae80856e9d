"""fieldkit.to_xyz and fieldkit.to_blh on numpy arrays against PROJ's Python bindings
(pyproj Transformer, EPSG:4979 <-> EPSG:4978, always_xy), in the same run.

    python_geocentric.py [--points N] [--repetitions R] [--markdown FILE] [--module-path DIR]

The points are seeded and cover the whole range to_xyz accepts (any latitude, any longitude
in one turn, heights within 100 km). fieldkit runs twice: on one thread (threads=1) and on
every core (the default). Timing as python_timing.py says (interleaved, medians, wall-clock
time per pass over all points). Run it with the interpreter that has numpy and pyproj
(bench/run does, with the module of the bench preset).
"""

import os

import numpy as np

import python_timing

# (name, fieldkit case, peer case, target ratio); no target for one thread, shown to compare
ROWS = [
    ("to_xyz vs Transformer 4979->4978, every core", "fieldkit forward", "proj forward", 0.25),
    ("to_blh vs Transformer 4978->4979, every core", "fieldkit inverse", "proj inverse", 0.45),
    ("to_xyz vs Transformer 4979->4978, threads=1", "fieldkit forward 1", "proj forward", None),
    ("to_blh vs Transformer 4978->4979, threads=1", "fieldkit inverse 1", "proj inverse", None),
]


def main():
    args = python_timing.arguments(__doc__, repetitions=10)
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
    median = python_timing.medians(cases, args.repetitions, seed=7)

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
                      f"{ratio:.2f}", *python_timing.mark(ratio, target)])
    table.append(["largest difference from PROJ: xyz; lat, lon; h",
                  f"{xyz_error:.1e} m; {angle_error:.1e} deg; {height_error:.1e} m", "-", "-",
                  "(accuracy)", "n/a"])
    versions = (f"numpy {np.__version__}, pyproj {pyproj.__version__} "
                f"(PROJ {pyproj.proj_version_str}), {args.repetitions} repetitions, medians, "
                f"{os.cpu_count()} cores")
    python_timing.show(versions, header, table, args.markdown)


if __name__ == "__main__":
    main()
