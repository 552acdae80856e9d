"""The Python module's texts on numpy arrays against a Python loop over the same functions'
scalar calls, in the same run: latitudes to DMS text and the texts read back.

    python_texts.py [--points N] [--repetitions R] [--markdown FILE] [--module-path DIR]

Each side does the same work on the same seeded latitudes: the loop builds a list of texts
with one `lat_to_dms` call a value and reads them back with one `parse_lat` call a text; the
array side makes one call for all the values (threads=1, and every core) and one to read the
resulting array back. Timing as python_timing.py says (interleaved, medians). Run it with the
interpreter the module was built for (bench/run does).
"""

import numpy as np

import python_timing

# (label, fieldkit case, floor case, target ratio)
ROWS = [
    ("lat_to_dms, array, 1 thread", "array to text, 1 thread", "loop to text", 0.1),
    ("lat_to_dms, array, every core", "array to text", "loop to text", 0.1),
    ("parse_lat, array, 1 thread", "array read, 1 thread", "loop read", 0.1),
    ("parse_lat, array, every core", "array read", "loop read", 0.1),
    ("to DMS and back, array, every core", "array round trip", "loop round trip", 0.1),
]


def main():
    args = python_timing.arguments(__doc__, repetitions=5)
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

    median = python_timing.medians(cases, args.repetitions, seed=11)

    def ms(seconds):
        return f"{seconds * 1e3:.1f} ms ({seconds / args.points * 1e9:.0f} ns/value)"

    header = ["workload", "fieldkit array", "Python loop", "ratio", "target", "mark"]
    table = []
    for label, ours, floor, target in ROWS:
        ratio = median[ours] / median[floor]
        table.append([f"{label}, {args.points:,} latitudes", ms(median[ours]), ms(median[floor]),
                      f"{ratio:.3f}", *python_timing.mark(ratio, target)])
    table.append(["largest difference, read back - latitude", f"{worst:.1e} deg", "-", "-",
                  "(texts to 0.00001\")", "n/a"])
    versions = f"numpy {np.__version__}, {args.repetitions} repetitions, medians"
    python_timing.show(versions, header, table, args.markdown)

if __name__ == "__main__":
    main()
