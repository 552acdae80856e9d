"""Positions and units on numbers and arrays: arrays agree with scalar calls and with the
tool, out-of-range points become NaN (or raise), and the worked values hold."""

import pickle
import tracemalloc

import numpy as np
import pytest

import fieldkit


# Fault: a geocentric conversion off by more than 0.1 mm at a worked point
def test_worked_values():
    rad = 180 / np.pi
    x, y, z = fieldkit.to_xyz(0.8 * rad, 0.3 * rad, 250)
    assert (x, y, z) == pytest.approx((4252717.5863, 1315519.7088, 4552793.8049), abs=1e-4)
    assert fieldkit.to_xyz(0, 0, 0) == (6378137.0, 0.0, 0.0)
    assert fieldkit.to_blh(6378137, 0, 0) == (0.0, 0.0, 0.0)
    assert fieldkit.to_blh(0, 0, 0) == (0.0, 0.0, -6378137.0)
    lat, lon, h = fieldkit.to_blh(0, 0, -6356752.314245179)
    assert (lat, lon) == (-90.0, 0.0) and h == pytest.approx(0, abs=1e-9)


# Fault: a latitude of exactly 90 or a height of exactly 100 km refused
def test_limits_are_inclusive():
    assert not np.isnan(fieldkit.to_xyz(90, 0, 100000)).any()
    assert not np.isnan(fieldkit.to_xyz(-90, 720, -100000)).any()  # any longitude
    assert np.isnan(fieldkit.to_xyz(90.000001, 0, 0)).all()
    assert np.isnan(fieldkit.to_xyz(0, 0, 100000.001)).all()
    assert np.isnan(fieldkit.to_blh(7100000, 0, 0)).all()


def grid():
    rng = np.random.default_rng(7)
    lat = rng.uniform(-90, 90, (4, 1, 5))
    lon = rng.uniform(-180, 180, (3, 1))
    h = rng.uniform(-500, 9000, 5)
    return lat, lon, h


# Fault: an array element converted differently from the scalar call, or broadcast wrong
def test_arrays_broadcast_and_agree_with_scalar_calls():
    lat, lon, h = grid()
    x, y, z = fieldkit.to_xyz(lat, lon, h)
    assert x.shape == y.shape == z.shape == (4, 3, 5) and x.dtype == np.float64
    blat, blon, bh = np.broadcast_arrays(lat, lon, h)
    for i in np.ndindex(x.shape):
        assert (x[i], y[i], z[i]) == fieldkit.to_xyz(blat[i], blon[i], bh[i])
        assert tuple(a[i] for a in fieldkit.to_blh(x, y, z)) == fieldkit.to_blh(x[i], y[i], z[i])
    # Any sequence, any layout: a list and a transposed (not contiguous) view.
    assert np.array_equal(fieldkit.to_xyz([45.0, 46.0], 7, 250)[0],
                          [fieldkit.to_xyz(45, 7, 250)[0], fieldkit.to_xyz(46, 7, 250)[0]])
    t = np.asfortranarray(lat[:, 0, :]).T
    assert np.array_equal(fieldkit.to_xyz(t, 1, 2)[2], fieldkit.to_xyz(t.copy(), 1, 2)[2])


# Fault: the inverse conversion not converging to the point it came from
def test_round_trip():
    lat, lon, h = grid()
    back = fieldkit.to_blh(*fieldkit.to_xyz(lat, lon, h))
    expected = np.broadcast_arrays(lat, lon, h)
    assert np.abs(back[0] - expected[0]).max() < 1e-12
    assert np.abs(back[1] - expected[1]).max() < 1e-12
    assert np.abs(back[2] - expected[2]).max() < 1e-5


# Fault: an out-of-range point converted, or the refusal naming the wrong index
def test_out_of_range_points_are_nan_or_raise():
    lat = np.array([[45.0, 91.0], [np.nan, -45.0]])
    x, y, z = fieldkit.to_xyz(lat, 7.0, np.array([250.0, 250.0]))
    bad = np.array([[False, True], [True, False]])
    for a in (x, y, z):
        assert np.array_equal(np.isnan(a), bad)
    assert x[0, 0] == fieldkit.to_xyz(45, 7, 250)[0]
    with pytest.raises(ValueError, match=r"^lat = 91\.0: .* at index \(0, 1\): "
                                         r"\(91\.0, 7\.0, 250\.0\)$"):
        fieldkit.to_xyz(lat, 7.0, 250.0, errors="raise")
    with pytest.raises(ValueError, match=r"^x, y, z: .*7071 km.* at index \(1,\)"):
        fieldkit.to_blh([1e6, 8e6, 1e6], 0, [0, 0, np.inf], errors="raise")
    with pytest.raises(ValueError, match=r"^x, y, z: .*7071 km.*: \(8000000\.0, 0\.0, 0\.0\)$"):
        fieldkit.to_blh(8e6, 0, 0, errors="raise")
    assert np.isnan(fieldkit.to_blh(np.inf, 0, 0)).all()


# Fault: a refusal blaming another argument than the one out of range
@pytest.mark.parametrize("call, blamed", [
    (lambda: fieldkit.to_xyz(0, np.inf, 0, "raise"), r"lon = inf"),
    (lambda: fieldkit.to_xyz(0, 0, -1e5 - 1, "raise"), r"h = -100001\.0"),
    (lambda: fieldkit.to_xyz(np.nan, np.nan, np.nan, "raise"), r"lat = nan"),
    (lambda: fieldkit.to_xyz([0, 0], [1, np.nan], 0, "raise"), r"lon = nan: .* at index \(1,\)"),
    (lambda: fieldkit.to_blh(1, 2, np.nan, "raise"), r"z = nan"),
    (lambda: fieldkit.to_blh(1, -np.inf, 0, "raise"), r"y = -inf"),
])
def test_errors_raise_blames_the_argument_at_fault(call, blamed):
    with pytest.raises(ValueError, match="^" + blamed):
        call()


# Fault: an errors= or threads= value accepted that the function cannot honour
def test_argument_checks():
    for errors in ("ignore", "NaN", None, 1):
        with pytest.raises(ValueError, match=r"^errors: 'nan' or 'raise', not "):
            fieldkit.to_xyz(0, 0, 0, errors=errors)
    for threads in (0, -1, 1.5, 2.0, np.float64(2)):
        with pytest.raises(ValueError, match=r"^threads: .* not " + str(threads)):
            fieldkit.to_blh(1, 2, 3, threads=threads)
    for threads in ("2", True, [2]):
        with pytest.raises(TypeError, match="^threads: "):
            fieldkit.to_blh(1, 2, 3, threads=threads)
    assert fieldkit.to_xyz(1, 2, 3, threads=np.int64(3)) == fieldkit.to_xyz(1, 2, 3)
    with pytest.raises(ValueError, match=r"^lat, lon, h: .*lat \(2,\), lon \(3,\), h \(\)$"):
        fieldkit.to_xyz([1, 2], [1, 2, 3])


# Fault: text or None read as NaN instead of refused with its argument's name
@pytest.mark.parametrize("value, shown", [
    (None, "NoneType None"), ("45", "str '45'"), (b"45", "bytes b'45'"), (True, "bool True"),
    (np.bool_(False), "numpy.bool_ False"), (np.array([True]), "an array of bool"),
    (1 + 2j, r"complex \(1\+2j\)"), (np.complex64(1), "numpy.complex64"),
    (np.array([1j]), "an array of complex128"), (np.array(["45"]), "an array of <U2"),
    (np.array([45], dtype=object), "an array of object"),
    (np.array(["2024-01-01"], dtype="datetime64[D]"), r"an array of datetime64\[D\]"),
    ([45, None], r"list \[45, None\] \(read as object\)"), ([[1, 2], [3]], "list"),
])
def test_what_is_not_a_number_is_a_type_error_naming_the_argument(value, shown):
    # Each once in each place, so the message is seen to name the right one.
    for args, name in (((value, 7, 0), "lat"), ((45, value), "lon"), ((45, 7, value), "h")):
        with pytest.raises(TypeError, match=f"^{name}: .*not {shown}"):
            fieldkit.to_xyz(*args)
    with pytest.raises(TypeError, match=f"^z: .*not {shown}"):
        fieldkit.to_blh(1e6, 0, value)


# Fault: an integer or float32 array converted through another path than float64
def test_numbers_of_every_dtype_agree_with_float64():
    lat, lon, h = np.array([[0, 30, 45], [60, 89, 90]]), np.array([-170, 0, 120]), [[0], [100]]
    expected = fieldkit.to_xyz(lat.astype(float), lon.astype(float), np.array(h, dtype=float))
    for dtype in (np.int8, np.uint8, np.int16, np.int32, np.int64, np.uint64, np.float32):
        got = fieldkit.to_xyz(lat.astype(dtype), lon, np.array(h, dtype=dtype))
        assert all(np.array_equal(a, b) for a, b in zip(got, expected)), dtype
        assert got.x.dtype == np.float64 and got.x.shape == (2, 3)
    # Scalars: numpy's of each kind, as Python's, give floats.
    for number in (np.float32(30.5), np.float64(30.5), np.int64(30), np.uint8(30), np.array(30.5)):
        got = fieldkit.to_xyz(number, number, number)
        assert all(type(v) is float for v in got)
        assert got == fieldkit.to_xyz(float(number), float(number), float(number))
    assert fieldkit.to_xyz(np.float16(30.5), 7, 0) == fieldkit.to_xyz(30.5, 7, 0)
    # Python ints of any size (numpy holds those beyond 64 bits as objects).
    assert fieldkit.to_xyz(0, 10**30) == fieldkit.to_xyz(0, 1e30)
    assert fieldkit.to_xyz(0, -(10**20)) == fieldkit.to_xyz(0, -1e20)
    with pytest.raises(ValueError, match=r"^lon: 1000.* is too large for a float64$"):
        fieldkit.to_xyz(0, 10**400)


# Fault: results not named tuples, or not surviving pickling
def test_results_are_named_tuples_that_pickle():
    xyz = fieldkit.to_xyz(45, 7, 250)
    assert isinstance(xyz, fieldkit.XYZ) and xyz._fields == ("x", "y", "z")
    assert (xyz.x, xyz.y, xyz.z) == tuple(xyz)
    blh = fieldkit.to_blh(*xyz)
    assert isinstance(blh, fieldkit.BLH) and blh._fields == ("lat", "lon", "h")
    assert blh.lat == pytest.approx(45) and blh.h == pytest.approx(250)
    arrays = fieldkit.to_blh([6378137.0, 7e6], 0, 0)
    for value in (xyz, blh, arrays):
        back = pickle.loads(pickle.dumps(value))
        assert type(back) is type(value)
        assert all(np.array_equal(a, b, equal_nan=True) for a, b in zip(back, value))
    assert "XYZ" in fieldkit.__all__ and "BLH" in fieldkit.__all__
    # The functions too, for worker processes (dask, multiprocessing).
    for function in (fieldkit.to_xyz, fieldkit.to_blh):
        assert pickle.loads(pickle.dumps(function)) is function


# Fault: masked points computed, refused, or their masks dropped
def test_masked_arrays_keep_their_masks():
    lat = np.ma.masked_array([[10.0, 95.0, 30.0], [40.0, 50.0, 60.0]],
                             mask=[[False, True, False], [False, False, False]])
    h = np.ma.masked_array([0.0, 1e9], mask=[False, True]).reshape(2, 1)
    got = fieldkit.to_xyz(lat, [1.0, 2.0, 3.0], h, errors="raise")  # masked points are not seen
    mask = np.array([[False, True, False], [True, True, True]])
    plain = fieldkit.to_xyz(lat.filled(0), [1.0, 2.0, 3.0], h.filled(0))
    for a, b in zip(got, plain):
        assert isinstance(a, np.ma.MaskedArray) and np.array_equal(np.ma.getmaskarray(a), mask)
        assert np.array_equal(a.compressed(), b[~mask])
    # A masked array without a mask still gives masked arrays; 0-d gives floats or masked.
    assert isinstance(fieldkit.to_blh(np.ma.masked_array([7e6]), 0, 0).lat, np.ma.MaskedArray)
    assert fieldkit.to_xyz(np.ma.masked_array(45.0, mask=True), 7).x is np.ma.masked
    assert fieldkit.to_xyz(np.ma.masked_array(45.0), 7) == fieldkit.to_xyz(45, 7)


# Fault: the result depending on the number of threads
def test_threads_give_the_same_bits():
    rng = np.random.default_rng(11)
    n = 200_001  # several runs of points on any machine, and an odd last one
    lat, lon, h = rng.uniform(-95, 95, n), rng.uniform(-180, 180, n), rng.uniform(-1e5, 1e5, n)
    one = fieldkit.to_xyz(lat, lon, h, threads=1)
    xyz = np.stack(one)
    assert np.isnan(xyz).any() and not np.isnan(xyz).all()
    for threads in (2, 3, 64, None):
        assert np.stack(fieldkit.to_xyz(lat, lon, h, threads=threads)).tobytes() == xyz.tobytes()
        assert np.stack(fieldkit.to_blh(*one, threads=threads)).tobytes() == \
            np.stack(fieldkit.to_blh(*one, threads=1)).tobytes()
    # The first bad point is the first in the array, whichever thread meets it.
    lat[np.abs(lat) > 90] = 0
    lat[[120_000, 180_000]] = [91.5, 92.5]  # met by different threads
    with pytest.raises(ValueError, match=r"^lat = 91\.5: .* at index \(120000,\)"):
        fieldkit.to_xyz(lat, lon, h, errors="raise", threads=4)


# Fault: float64 inputs copied, doubling the memory a large array needs
def test_float64_arrays_are_read_in_place():
    n = 500_000
    lat, lon, h = np.full(n, 45.0), np.full(n, 7.0), np.full(n, 250.0)
    tracemalloc.start()
    try:
        fieldkit.to_xyz(lat, lon, h)
        fieldkit.to_blh(lat, lon, 0.0)  # one number stands for all, not copied either
        _, peak = tracemalloc.get_traced_memory()
    finally:
        tracemalloc.stop()
    assert peak < 3.5 * 8 * n  # the three results, no copy of an input


# Fault: the module's positions and the tool's differing in the printed digits
def test_positions_match_the_tool(tool):
    lat, lon, h = (a.ravel() for a in np.broadcast_arrays(*grid()))
    rows = [f"{a!r} {b!r} {c!r}" for a, b, c in zip(lat, lon, h)]
    status, out, _ = tool("xyz", "-p", "6", "-", input=rows)
    assert status == 0
    x, y, z = fieldkit.to_xyz(lat, lon, h)
    assert [f"{a:.6f} {b:.6f} {c:.6f}" for a, b, c in zip(x, y, z)] == out.splitlines()
    status, out, _ = tool("blh", "--plain", "-p", "12", "--angle-decimals", "12", "-",
                          input=[f"{a!r} {b!r} {c!r}" for a, b, c in zip(x, y, z)])
    assert status == 0
    b, l, hh = fieldkit.to_blh(x, y, z)
    assert [f"{p:.12f} {q:.12f} {r:.12f}".replace("-0.000000000000", "0.000000000000")
            for p, q, r in zip(b, l, hh)] == out.splitlines()


# Fault: an angle unit conversion not rounding out of degrees, or losing the sign
def test_units():
    assert fieldkit.from_degrees(180, "radians") == 314159 * 0.00001
    assert fieldkit.from_degrees(-90, "radians") == -157080 * 0.00001  # keeps the sign
    assert fieldkit.from_degrees(360, "radians") == 0
    assert fieldkit.from_degrees(90, "grads") == pytest.approx(100, abs=1e-12)
    assert fieldkit.from_degrees(90, "mils") == pytest.approx(1600, abs=1e-12)
    assert fieldkit.to_degrees(400, "grads") == pytest.approx(360)
    assert fieldkit.to_degrees(6400, "mils") == pytest.approx(360)
    assert fieldkit.to_degrees(np.pi, "radians") == pytest.approx(180, abs=1e-12)
    assert fieldkit.from_degrees(10.5, "dms") == 10.3
    assert fieldkit.from_degrees(-370.5, "dms") == -10.3
    assert fieldkit.to_degrees(-123.4530, "dms") == pytest.approx(-123.7583333333, abs=1e-9)
    assert fieldkit.to_degrees(123.0075, "dms") == pytest.approx(123 + 75 / 3600)
    assert fieldkit.metres_to_feet(1.0) == pytest.approx(3.28084, abs=1e-12)
    assert fieldkit.metres_to_feet(1.0, us=True) == pytest.approx(3.28083, abs=1e-12)
    assert fieldkit.feet_to_metres(100, us=True) == pytest.approx(30.48006096012192)
    with pytest.raises(ValueError, match="unknown angle unit 'gon'"):
        fieldkit.to_degrees(1, "gon")


# Fault: a unit conversion on arrays differing from the scalar call
@pytest.mark.parametrize("call", [
    lambda v: fieldkit.to_degrees(v, "dms"),
    lambda v: fieldkit.from_degrees(v, "mils"),
    lambda v: fieldkit.from_degrees(v, "dms", precision=8),
    lambda v: fieldkit.metres_to_feet(v, us=True),
    lambda v: fieldkit.feet_to_metres(v),
])
def test_units_on_arrays_agree_with_scalar_calls(call):
    values = np.linspace(-400, 400, 24).reshape(2, 3, 4)
    result = call(values)
    assert result.shape == values.shape
    assert [call(float(v)) for v in values.ravel()] == list(result.ravel())


# Fault: packed degrees-minutes-seconds differing between the module and the tool
def test_packed_dms_matches_the_tool(tool):
    values = [10.5, 123.758333333, -0.25, 359.99999999]
    status, out, _ = tool("decimal", "--to-dms", "-", input=[repr(v) for v in values])
    assert status == 0
    assert [f"{fieldkit.from_degrees(v, 'dms', precision=8):.8f}" for v in values] == \
        out.splitlines()
