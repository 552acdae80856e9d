"""Positions and units on numbers and arrays: arrays agree with scalar calls and with the
tool, out-of-range points become NaN (or raise), and the worked values hold."""

import numpy as np
import pytest

import fieldkit


def test_worked_values():
    rad = 180 / np.pi
    x, y, z = fieldkit.to_xyz(0.8 * rad, 0.3 * rad, 250)
    assert (x, y, z) == pytest.approx((4252717.5863, 1315519.7088, 4552793.8049), abs=1e-4)
    assert fieldkit.to_xyz(0, 0, 0) == (6378137.0, 0.0, 0.0)
    assert fieldkit.to_blh(6378137, 0, 0) == (0.0, 0.0, 0.0)
    assert fieldkit.to_blh(0, 0, 0) == (0.0, 0.0, -6378137.0)
    lat, lon, h = fieldkit.to_blh(0, 0, -6356752.314245179)
    assert (lat, lon) == (-90.0, 0.0) and h == pytest.approx(0, abs=1e-9)


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


def test_round_trip():
    lat, lon, h = grid()
    back = fieldkit.to_blh(*fieldkit.to_xyz(lat, lon, h))
    expected = np.broadcast_arrays(lat, lon, h)
    assert np.abs(back[0] - expected[0]).max() < 1e-12
    assert np.abs(back[1] - expected[1]).max() < 1e-12
    assert np.abs(back[2] - expected[2]).max() < 1e-5


def test_out_of_range_points_are_nan_or_raise():
    lat = np.array([[45.0, 91.0], [np.nan, -45.0]])
    x, y, z = fieldkit.to_xyz(lat, 7.0, np.array([250.0, 250.0]))
    bad = np.array([[False, True], [True, False]])
    for a in (x, y, z):
        assert np.array_equal(np.isnan(a), bad)
    assert x[0, 0] == fieldkit.to_xyz(45, 7, 250)[0]
    with pytest.raises(ValueError, match=r"index \(0, 1\): \(91\.0, 7\.0, 250\.0\)"):
        fieldkit.to_xyz(lat, 7.0, 250.0, errors="raise")
    with pytest.raises(ValueError, match="7071 km"):
        fieldkit.to_blh([1e6, 8e6], 0, [0, np.inf], errors="raise")
    with pytest.raises(ValueError, match="7071 km"):
        fieldkit.to_blh(8e6, 0, 0, errors="raise")
    assert np.isnan(fieldkit.to_blh(np.inf, 0, 0)).all()
    with pytest.raises(ValueError, match="errors"):
        fieldkit.to_xyz(0, 0, 0, errors="ignore")


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


def test_packed_dms_matches_the_tool(tool):
    values = [10.5, 123.758333333, -0.25, 359.99999999]
    status, out, _ = tool("decimal", "--to-dms", "-", input=[repr(v) for v in values])
    assert status == 0
    assert [f"{fieldkit.from_degrees(v, 'dms', precision=8):.8f}" for v in values] == \
        out.splitlines()
