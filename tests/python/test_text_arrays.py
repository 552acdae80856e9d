"""The text functions and readers on arrays: each element is what the scalar call gives, the
shape is kept, refusals name the element, masks and missing values are respected, and the
threads change nothing."""

import pickle

import numpy as np
import pytest

import fieldkit

# (function, keyword arguments, values in range of every kind)
TEXTS = [
    (fieldkit.lat_to_dms, {}, [45.5, -33.8568, 0.0, 90, -1e-9, 12.3456789]),
    (fieldkit.lon_to_dms, {"tenths": True}, [-122.654321, 359.5, 0.0, -0.25, 7, 180]),
    (fieldkit.angle_to_dms, {"decimals": 6}, [123.456789, -0.5, 1e6, 0.0, 359.99999, 42]),
    (fieldkit.bearing, {}, [150, -30, 0, 90, 359.9999, 270.5]),
    (fieldkit.feet_inches, {"denominator": 8}, [5.5, 5.52, -3.25, 0, 1e4, 0.01]),
    (fieldkit.station, {"interval": 1000}, [1234.567, -99.999, 0, 1e6, 5, 2.5e5]),
    (fieldkit.subscription_end, {}, [1239019200, 0, -5, 2e9, 1e9, 86400 * 7]),
]
READERS = [
    (fieldkit.parse_angle, {}, ["12°30'15.5\"", "S20°00'00\"W", "12 30", "-5", "1e2", "45'"]),
    (fieldkit.parse_lat, {"mode": "lenient"}, ["45 30 S", "x", "", "12,5", "N 1", "1s"]),
    (fieldkit.parse_lon, {"strict": True}, ["12°30'W", "179°59'59.9\"E", "0", "-7", "1", "2"]),
    (fieldkit.parse_height, {}, ["5'6 1/4\"", "-5'6\"", "1/4\"", "7'", "5.5", "0"]),
    (fieldkit.parse_station, {"interval": 1000}, ["1+234.5", "-1+-0.5", "12", "0+0", "3", "4"]),
    (fieldkit.date_to_count, {}, ["01.02.2019, 10:30", "1.2.2019", "31.12.1999", "x", "", "9.9.9"]),
]


# Fault: a text array cell differing from its scalar call for some shape or dtype
@pytest.mark.parametrize("function, options, values", TEXTS)
def test_texts_of_every_shape_and_dtype_are_the_scalar_calls(function, options, values):
    expected = [function(float(v), **options) for v in values]
    for dtype in (np.float64, np.float32, np.int64):
        if dtype != np.float64 and any(float(dtype(v)) != v for v in values):
            continue  # a value the dtype cannot hold
        for shape in ((6,), (2, 3), (3, 1, 2)):
            array = np.array(values, dtype=dtype).reshape(shape)
            result = function(array, **options)
            assert result.dtype.kind == "U" and result.shape == shape
            assert result.ravel().tolist() == expected, (dtype, shape)
    assert function(values, **options).tolist() == expected
    assert function(np.float64(values[0]), **options) == expected[0]
    assert function(np.array(values[0]), **options) == expected[0]
    assert function(np.array([], dtype=np.float64), **options).shape == (0,)
    # As wide as the longest text, numpy's own width, also when that text comes long after
    # the first ones (the cells are written at the first ones' width and widened for it).
    by_length = sorted(values, key=lambda v: len(function(float(v), **options)))
    ordered = by_length[:1] * 40 + by_length
    texts = [function(float(v), **options) for v in ordered]
    result = function(np.array(ordered, dtype=np.float64), **options)
    assert result.dtype == np.array(texts).dtype and result.tolist() == texts


# Fault: an array reading differing from the scalar reading of its text
@pytest.mark.parametrize("function, options, texts", READERS)
def test_readings_of_every_shape_and_kind_are_the_scalar_calls(function, options, texts):
    def one(text):
        try:
            return function(text, **options)
        except ValueError:
            return np.nan

    expected = np.array([one(t) for t in texts])
    for array in (np.array(texts), np.array(texts, dtype=object), texts, tuple(texts)):
        assert np.array_equal(function(array, **options), expected, equal_nan=True)
    grid = function(np.array(texts).reshape(3, 2), **options)
    assert grid.shape == (3, 2) and np.array_equal(grid.ravel(), expected, equal_nan=True)
    assert function(np.array(texts[0]), **options) == expected[0]


# Fault: a refusal in an array naming the wrong index or value
def test_refusals_in_arrays_name_the_index_the_value_and_the_reason():
    with pytest.raises(ValueError, match=r"^latitude at index \(1, 0\): out of range "
                                         r"\(-90 to 90\): '91'$"):
        fieldkit.lat_to_dms(np.array([[1.0, 2.0], [91, np.nan]]))
    with pytest.raises(ValueError, match=r"^chainage at index \(2,\): not a number: 'inf'$"):
        fieldkit.station([1.0, 2.0, np.inf])
    with pytest.raises(ValueError, match=r"^text at index \(0, 1\): .*'12,5'$"):
        fieldkit.parse_lat([["1N", "12,5"], ["x", "2S"]], errors="raise")
    with pytest.raises(ValueError, match=r"^text at index \(1,\): no text \(a missing value\)$"):
        fieldkit.parse_angle(["1", None], errors="raise")
    # One text raises by default, arrays give NaN unless told otherwise.
    with pytest.raises(ValueError, match="'12,5'$"):
        fieldkit.parse_lat("12,5")
    assert np.isnan(fieldkit.parse_lat(["12,5"])[0])
    assert fieldkit.parse_lat(["12N", None, float("nan")], errors="nan")[1:].tolist() == [
        pytest.approx(np.nan, nan_ok=True)] * 2


# Fault: a masked element refused, or its mask dropped
def test_masked_elements_are_neither_computed_nor_refused():
    values = np.ma.masked_array([45.5, 1000.0, -10.0], mask=[False, True, False])
    texts = fieldkit.lat_to_dms(values)
    assert isinstance(texts, np.ma.MaskedArray) and texts.mask.tolist() == [False, True, False]
    assert texts.compressed().tolist() == [fieldkit.lat_to_dms(45.5), fieldkit.lat_to_dms(-10.0)]
    read = fieldkit.parse_lat(np.ma.masked_array(["1N", "??", "2S"], mask=[0, 1, 0]),
                              errors="raise")
    assert read.mask.tolist() == [False, True, False] and read.compressed().tolist() == [1, -2]
    assert fieldkit.lat_to_dms(np.ma.masked_array(1000.0, mask=True)) is np.ma.masked


# Fault: threads changing a text, the array's width, or which refusal is reported
def test_threads_change_nothing_not_even_which_refusal_is_reported():
    rng = np.random.default_rng(5)
    lat = rng.uniform(-90, 90, 60_000)
    texts = fieldkit.lat_to_dms(lat, threads=1)
    for threads in (2, 3, None):
        assert np.array_equal(fieldkit.lat_to_dms(lat, threads=threads), texts)
        assert fieldkit.parse_lat(texts, threads=threads).tobytes() == \
            fieldkit.parse_lat(texts, threads=1).tobytes()
    # Texts longer than the first ones, met on every thread at once, widen the array alike.
    lon = np.where(np.arange(60_000) < 100, 5.0, rng.uniform(100, 180, 60_000))
    wide = fieldkit.lon_to_dms(lon, threads=1)
    assert wide.dtype == np.dtype("<U17")
    for threads in (2, 4):
        assert np.array_equal(fieldkit.lon_to_dms(lon, threads=threads), wide)
    lat[[31_000, 55_000]] = 100.0
    bad = texts.copy()
    bad[[31_000, 55_000]] = "nowhere"
    for threads in (1, 2, 4):
        with pytest.raises(ValueError, match=r"index \(31000,\)"):
            fieldkit.lat_to_dms(lat, threads=threads)
        with pytest.raises(ValueError, match=r"index \(31000,\)"):
            fieldkit.parse_lat(bad, errors="raise", threads=threads)


# Fault: a value of the wrong kind read as NaN or text instead of a TypeError
@pytest.mark.parametrize("call", [
    lambda: fieldkit.lat_to_dms(None),
    lambda: fieldkit.lat_to_dms("45.5"),
    lambda: fieldkit.lat_to_dms(1 + 2j),
    lambda: fieldkit.lat_to_dms(np.array([1 + 0j])),
    lambda: fieldkit.lat_to_dms(np.array([1.0, "2"], dtype=object)),
    lambda: fieldkit.lat_to_dms([True, False]),
    lambda: fieldkit.parse_lat(45.5),
    lambda: fieldkit.parse_lat(b"45N"),
    lambda: fieldkit.parse_lat(np.array([1.0, 2.0])),
    lambda: fieldkit.parse_lat(["1N", 2]),
])
def test_what_is_no_number_or_no_text_is_a_type_error(call):
    with pytest.raises(TypeError):
        call()


# Fault: a bad option noticed only when a value reaches it, or not at all
@pytest.mark.parametrize("call, named", [
    (lambda: fieldkit.lat_to_dms([1.0], threads=0), "threads"),
    (lambda: fieldkit.parse_lat(["1N"], errors="loud"), "errors"),
    (lambda: fieldkit.parse_lat(["1N"], mode="sloppy"), "mode"),
    (lambda: fieldkit.feet_inches([1.0], denominator=-1), "denominator"),
    (lambda: fieldkit.station([1.0], interval=0), "interval"),
    (lambda: fieldkit.parse_station(["1+00"], interval=float("nan")), "interval"),
    (lambda: fieldkit.from_degrees([1.0], "dms", precision=-5), "precision"),
    (lambda: fieldkit.angle_to_dms([1.0], decimals=5), "decimals"),
])
def test_options_are_checked_before_any_value(call, named):
    with pytest.raises(ValueError, match=f"^{named}"):
        call()


# Fault: a pandas column or a dask block giving other texts than the plain array
def test_texts_in_dask_blocks_and_pandas_columns():
    pd = pytest.importorskip("pandas", reason="pandas is not installed")
    column = pd.Series([45.5, -10.25, 3.0], index=[7, 8, 9])
    assert fieldkit.lat_to_dms(column).tolist() == [fieldkit.lat_to_dms(v) for v in column]
    assert fieldkit.parse_lat(pd.Series(["1N", None, "2S"])).tolist()[::2] == [1.0, -2.0]
    assert pickle.loads(pickle.dumps(fieldkit.lat_to_dms)) is fieldkit.lat_to_dms
    da = pytest.importorskip("dask.array", reason="dask is not installed")
    lat = np.random.default_rng(9).uniform(-90, 90, 20_000)
    chunked = da.from_array(lat, chunks=3_000)
    texts = chunked.map_blocks(fieldkit.lat_to_dms, dtype="<U16").compute(scheduler="threads")
    assert np.array_equal(texts, fieldkit.lat_to_dms(lat))
    back = da.from_array(texts, chunks=3_000).map_blocks(fieldkit.parse_lat, dtype=float)
    assert np.array_equal(back.compute(scheduler="threads"), fieldkit.parse_lat(texts))
