"""How closely fieldkit.to_xyz and fieldkit.to_blh agree with PROJ (pyproj Transformer,
EPSG:4979 <-> EPSG:4978, always_xy) on seeded random points.

    PYTHONPATH=build/dev/python python3 geodesy_accuracy.py [--points N] [--seed S] [--exact]

The two whole-sphere samples have N points each, spread evenly over the surface (latitude
from the arcsine of a uniform variable, longitude uniform in [-180, 180)), with heights from
-1 km up to 100 km, the most to_xyz accepts, and from -100 m to 10 km, where surveyors work.
The polar caps (|lat| > 89.9) and the equatorial strip (|lat| < 0.1) get samples of their
own, since an iteration on the latitude converges differently there and the whole-sphere
sample hardly touches the caps; so do the last 11 m around the polar axis (|lat| > 89.9999)
and the last millimetre, where to_blh puts points on the axis itself. These have N / 4
points each; a few lie exactly on the poles and on the equator.

forward: to_xyz against PROJ on the same latitude, longitude and height.
inverse: to_blh against PROJ on the same X, Y, Z (those of to_xyz).
round trip: to_blh(to_xyz(...)) against the latitude, longitude and height drawn; PROJ's own
    round trip is shown beside it, so that a difference from PROJ can be put on the right side.
The horizontal column turns the latitude and longitude differences into a distance on the
ground, which stays meaningful near the axis where a longitude difference in degrees does not.
--exact also compares both with the same conversions done in extended precision (numpy
longdouble), which settles which side a difference comes from; it takes some seconds more.
"""

import argparse
import math
import time

import numpy as np

A = 6378137.0
F = 1 / 298.257223563
E2 = F * (2 - F)

SOURCES = {
    "sphere": lambda rng, n: np.degrees(np.arcsin(rng.uniform(-1, 1, n))),
    "|lat| > 89.9": lambda rng, n: cap(rng, n, 0.1),
    # Within about 11 m of the axis, where PROJ's height leaves its usual accuracy.
    "|lat| > 89.9999": lambda rng, n: cap(rng, n, 1e-4),
    "|lat| < 0.1": lambda rng, n: np.degrees(
        np.arcsin(rng.uniform(-1, 1, n) * math.sin(math.radians(0.1)))),
    # 1e-8 degrees of colatitude is about 1.1 mm from the axis.
    "axis, 1 mm": lambda rng, n: cap(rng, n, 1e-8),
}
HEIGHTS = {"-1 km..100 km": (-1000.0, 100000.0), "-100 m..10 km": (-100.0, 10000.0)}
# Longitudes of points this close to the polar axis are not compared in degrees: to_blh gives 0
# within 0.1 mm of it, and a nanometre there turns the longitude by a large angle anyway.
AXIS_DISTANCE = 2e-3


def cap(rng, n, colatitude):
    """n latitudes spread evenly over both polar caps of the given colatitude in degrees."""
    # 1 - cos(theta) = 2 sin^2(theta / 2) uniform, without the cancellation of arccos near 1.
    v = rng.uniform(0, 2 * math.sin(math.radians(colatitude) / 2) ** 2, n)
    theta = np.degrees(2 * np.arcsin(np.sqrt(v / 2)))
    return np.where(rng.integers(0, 2, n) == 1, 90 - theta, theta - 90)


def sample(rng, source, heights, n):
    lat = SOURCES[source](rng, n)
    lon = rng.uniform(-180, 180, n)
    h = rng.uniform(*HEIGHTS[heights], n)
    # The exact poles and equator, and the ends of the height range, are rarely drawn.
    edge = {"axis, 1 mm": [90.0, -90.0], "|lat| < 0.1": [0.0, -0.0]}.get(source)
    if edge:
        k = min(n, 8)
        lat[:k] = np.resize(edge, k)
        lon[:k] = np.resize([-180.0, 0.0, 90.0, 179.999999999], k)
        h[:k] = np.resize([*HEIGHTS[heights], 0.0], k)
    return lat, lon, h


def wrap(degrees):
    return (degrees + 180) % 360 - 180


def compare(lat, lon, h, ref_lat, ref_lon, ref_h, axis):
    """Largest latitude and longitude differences (degrees), horizontal distance and height
    difference (metres); NaN fails loudly rather than vanishing from a maximum."""
    lat, lon, h = (np.asarray(v, dtype=float) for v in (lat, lon, h))
    ref_lat, ref_lon, ref_h = (np.asarray(v, dtype=float) for v in (ref_lat, ref_lon, ref_h))
    dlat = lat - ref_lat
    dlon = wrap(lon - ref_lon)
    dh = h - ref_h
    if not (np.isfinite(dlat).all() and np.isfinite(dlon).all() and np.isfinite(dh).all()):
        raise SystemExit("a conversion gave NaN")
    # The haversine split into north and east components, each on its own radius of curvature:
    # it stays right across the axis, where the longitude may turn by any angle.
    phi = np.radians(ref_lat)
    w = np.sqrt(1 - E2 * np.sin(phi) ** 2)
    north = (A * (1 - E2) / w**3 + ref_h) * 2 * np.sin(np.radians(dlat) / 2)
    east = ((A / w + ref_h) * 2 * np.sin(np.radians(dlon) / 2)
            * np.sqrt(np.abs(np.cos(phi) * np.cos(np.radians(lat)))))
    far = ~axis
    return (np.abs(dlat).max(), np.abs(dlon[far]).max() if far.any() else math.nan,
            np.hypot(north, east).max(), np.abs(dh).max())


def extended(lat, lon, h, x, y, z):
    """The forward conversion of (lat, lon, h) and the inverse one of (x, y, z) in numpy
    longdouble, from the WGS 84 defining constants."""
    L = np.longdouble
    a = L(6378137)
    f = L(1) / L("298.257223563")
    e2 = f * (2 - f)
    rad = L("3.14159265358979323846264338327950288") / 180
    b, lam, hh = lat.astype(L) * rad, lon.astype(L) * rad, h.astype(L)
    n = a / np.sqrt(1 - e2 * np.sin(b) ** 2)
    xyz = ((n + hh) * np.cos(b) * np.cos(lam), (n + hh) * np.cos(b) * np.sin(lam),
           (n * (1 - e2) + hh) * np.sin(b))
    x, y, z = x.astype(L), y.astype(L), z.astype(L)
    p = np.hypot(x, y)
    b = np.arctan2(z, p * (1 - e2))
    for _ in range(12):  # each step gains a factor of about e^2; atan2 keeps the poles sound
        s = np.sin(b)
        b = np.arctan2(z + e2 * a / np.sqrt(1 - e2 * s * s) * s, p)
    s = np.sin(b)
    height = p * np.cos(b) + z * s - a * np.sqrt(1 - e2 * s * s)
    return xyz, (b / rad, np.arctan2(y, x) / rad, height)


def fmt(value, kind):
    if math.isnan(value):
        return "n/a"
    return f"{value:.2f}" if kind == "fixed" else f"{value:.1e}"


def table(title, header, rows):
    widths = [max(len(r[i]) for r in [header] + rows) for i in range(len(header))]
    print(f"\n{title}")
    for i, row in enumerate([header] + rows):
        print("  ".join(c.ljust(w) if j == 0 else c.rjust(w)
                        for j, (c, w) in enumerate(zip(row, widths))))
        if i == 0:
            print("  ".join("-" * w for w in widths))


def bound(value):
    """value rounded up to one significant digit."""
    if value == 0:
        return "0"
    e = math.floor(math.log10(value))
    d = math.ceil(value / 10**e - 1e-9)
    if d == 10:
        d, e = 1, e + 1
    return f"{d}e{e}" if e < -3 or e > 3 else f"{d * 10.0**e:g}"


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--points", type=int, default=1_000_000,
                        help="points in each whole-sphere sample, a quarter of it in each band")
    parser.add_argument("--seed", type=int, default=20240611)
    parser.add_argument("--exact", action="store_true",
                        help="also compare both with an extended-precision computation")
    args = parser.parse_args()
    if args.points < 1:
        parser.error("--points must be at least 1")
    if args.exact and np.finfo(np.longdouble).nmant < 60:
        parser.error("--exact needs a longdouble wider than double on this platform")
    import fieldkit
    import pyproj
    from pyproj import Transformer

    start = time.perf_counter()
    forward = Transformer.from_crs("EPSG:4979", "EPSG:4978", always_xy=True)
    inverse = Transformer.from_crs("EPSG:4978", "EPSG:4979", always_xy=True)
    rng = np.random.default_rng(args.seed)
    fwd_rows, inv_rows, rt_rows, exact_rows = [], [], [], []
    worst = {}  # heights -> figure -> the largest over the samples

    for source in SOURCES:
        for heights in HEIGHTS:
            label = f"{source}, {heights}"
            n = args.points if source == "sphere" else max(1, args.points // 4)
            lat, lon, h = sample(rng, source, heights, n)
            x, y, z = fieldkit.to_xyz(lat, lon, h, errors="raise")
            px, py, pz = forward.transform(lon, lat, h)
            axis = np.hypot(x, y) < AXIS_DISTANCE

            d = [np.abs(x - px).max(), np.abs(y - py).max(), np.abs(z - pz).max(),
                 np.sqrt((x - px) ** 2 + (y - py) ** 2 + (z - pz) ** 2).max()]
            if not np.isfinite(d).all():
                raise SystemExit("a forward conversion gave NaN")
            fwd_rows.append([label] + [fmt(v * 1e9, "fixed") for v in d])

            blat, blon, bh = fieldkit.to_blh(x, y, z, errors="raise")
            plon, plat, ph = inverse.transform(x, y, z)
            inv = compare(blat, blon, bh, plat, plon, ph, axis)
            rt = compare(blat, blon, bh, lat, lon, h, axis)
            plon2, plat2, ph2 = inverse.transform(px, py, pz)
            prt = compare(plat2, plon2, ph2, lat, lon, h, np.hypot(px, py) < AXIS_DISTANCE)
            inv_rows.append([label, fmt(inv[0], "e"), fmt(inv[1], "e"),
                             fmt(inv[2] * 1e6, "fixed"), fmt(inv[3] * 1e6, "fixed")])
            rt_rows.append([label, fmt(rt[0], "e"), fmt(rt[1], "e"), fmt(rt[2] * 1e6, "fixed"),
                            fmt(rt[3] * 1e6, "fixed"), fmt(prt[0], "e"),
                            fmt(prt[2] * 1e6, "fixed"), fmt(prt[3] * 1e6, "fixed")])

            # The figures of the manual leave out the axis sample: it has its own sentence.
            if source != "axis, 1 mm":
                w = worst.setdefault(heights, {})
                for key, v in [("xyz", max(d[:3])), ("3-D", d[3]), ("lat", inv[0]),
                               ("lon", inv[1]), ("h", inv[3]), ("rt angle", max(rt[:2])),
                               ("rt h", rt[3])]:
                    w[key] = max(w.get(key, 0.0), v)

            if args.exact:
                (ex, ey, ez), (elat, elon, eh) = extended(lat, lon, h, x, y, z)
                ours = max(np.abs(x - ex).max(), np.abs(y - ey).max(), np.abs(z - ez).max())
                theirs = max(np.abs(px - ex).max(), np.abs(py - ey).max(),
                             np.abs(pz - ez).max())
                ei = compare(blat, blon, bh, elat, elon, eh, axis)
                # PROJ's inverse of the same X, Y, Z as fieldkit's, so elat, elon, eh serve both.
                pe = compare(plat, plon, ph, elat, elon, eh, axis)
                exact_rows.append([label, fmt(float(ours) * 1e9, "fixed"),
                                   fmt(float(theirs) * 1e9, "fixed"), fmt(ei[0], "e"),
                                   fmt(ei[3] * 1e6, "fixed"), fmt(pe[0], "e"),
                                   fmt(pe[3] * 1e6, "fixed")])

    print(f"fieldkit {fieldkit.__file__}, "
          f"pyproj {pyproj.__version__} (PROJ {pyproj.proj_version_str}), numpy {np.__version__}; "
          f"{args.points:,} points on the sphere, a quarter as many in each band, seed {args.seed}")
    table("forward: to_xyz - PROJ, largest |difference| in nm",
          ["sample", "X", "Y", "Z", "3-D"], fwd_rows)
    table("inverse: to_blh - PROJ on the same X, Y, Z, largest |difference|",
          ["sample", "lat deg", "lon deg", "horiz um", "h um"], inv_rows)
    table("round trip: to_blh(to_xyz(p)) - p, and PROJ's own, largest |difference|",
          ["sample", "lat deg", "lon deg", "horiz um", "h um", "PROJ lat deg", "PROJ horiz um",
           "PROJ h um"], rt_rows)
    if args.exact:
        table("against extended precision (numpy longdouble), largest |difference|",
              ["sample", "to_xyz nm", "PROJ nm", "to_blh lat deg", "to_blh h um",
               "PROJ lat deg", "PROJ h um"], exact_rows)
    print("\nlongitude n/a: within 2 mm of the polar axis longitudes are not compared in "
          "degrees (to_blh gives 0 within 0.1 mm of it); the horizontal column covers them")
    print("\nbounds, one significant digit, rounded up (all samples but the axis one):")
    for heights, w in worst.items():
        print(f"  {heights}: forward within {bound(w['3-D'] * 1e9)} nm of PROJ "
              f"(X, Y, Z each within {bound(w['xyz'] * 1e9)} nm); inverse latitude within "
              f"{bound(w['lat'])} deg, longitude within {bound(w['lon'])} deg, heights within "
              f"{bound(w['h'] * 1e6)} um of PROJ; round trip within {bound(w['rt angle'])} deg "
              f"and {bound(w['rt h'] * 1e6)} um")
    print(f"\n{time.perf_counter() - start:.1f} s")


if __name__ == "__main__":
    main()
