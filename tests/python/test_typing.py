"""The stubs say what the module does: each call here is type-checked by mypy (the python.mypy
test, with unused ignores reported) and run by pytest, and the type mypy is told must be the
one the call gives. A call the module refuses must be refused by the stubs too: its
`type: ignore` would otherwise be unused, which mypy reports."""

import sys
from typing import Any, Optional, Tuple

import numpy as np
import numpy.typing as npt
import pytest

import fieldkit

if sys.version_info >= (3, 11):
    from typing import assert_type
else:
    from typing_extensions import assert_type

Array = npt.NDArray[np.float64]


def is_array(value: object) -> bool:
    return isinstance(value, np.ndarray) and value.dtype == np.float64


# Fault: a numpy scalar argument giving an array, or the stubs promising another type
def test_numbers_give_floats_lists_give_arrays() -> None:
    numbers: Tuple[Any, ...] = (1.5, 2, np.float64(1.5), np.float32(1.5), np.int64(2))
    for number in numbers:
        assert type(fieldkit.to_degrees(number, "radians")) is float, number
    assert type(assert_type(fieldkit.to_degrees(np.float32(1.5), "grads"), float)) is float
    assert type(assert_type(fieldkit.from_degrees(np.int64(2), "dms", np.int64(5)), float)) is float
    assert type(assert_type(fieldkit.metres_to_feet(np.float32(3)), float)) is float
    assert type(assert_type(fieldkit.feet_to_metres(10), float)) is float
    assert is_array(assert_type(fieldkit.to_degrees([1.0, 2.0], "mils"), Array))
    assert is_array(assert_type(fieldkit.metres_to_feet([[1.0], [2.0]], us=True), Array))
    assert is_array(assert_type(fieldkit.feet_to_metres((), us=True), Array))


# Fault: a 0-d array giving an array instead of a float
def test_numpy_arrays_give_arrays_or_floats_when_0d() -> None:
    # Whether an array has a shape is not in numpy's types, so mypy is told Any.
    assert type(assert_type(fieldkit.to_degrees(np.array(1.5), "radians"), Any)) is float
    assert is_array(assert_type(fieldkit.from_degrees(np.zeros(3), "radians"), Any))
    assert type(fieldkit.to_xyz(np.array(1.0), np.array(2.0))[0]) is float


# Fault: the named tuples' element types differing from what the stubs promise
def test_positions() -> None:
    xyz = assert_type(fieldkit.to_xyz(np.float32(45), np.int64(7), 100.0, threads=2),
                      fieldkit.XYZ[float])
    assert all(type(v) is float for v in xyz)
    assert type(assert_type(xyz.z, float)) is float
    blh = assert_type(fieldkit.to_blh(6378137, [0.0, 1.0], 0, errors="raise"),
                      fieldkit.BLH[Array])
    assert all(is_array(v) and v.shape == (2,) for v in blh)
    assert is_array(assert_type(blh.lat, Array))
    for arrays in (fieldkit.to_xyz([45.0], 7), fieldkit.to_xyz(45, [7.0]),
                   fieldkit.to_xyz(45, 7, [1.0, 2.0])):
        assert_type(arrays, fieldkit.XYZ[Array])
        assert all(is_array(v) for v in arrays)
    assert all(is_array(v) for v in fieldkit.to_blh(np.ones((2, 2)), 0, 0, threads=None))
    mask: Array = np.ma.masked_array([1.0], mask=[True])  # type: ignore[no-untyped-call]
    masked = fieldkit.to_xyz(mask, 7)
    assert isinstance(assert_type(masked, fieldkit.XYZ[Any]).x, np.ma.MaskedArray)
    x, y, z = fieldkit.to_xyz(1, 2)  # still a tuple of three
    assert_type(x, float)


# Fault: a numpy integer or float refused where the Python number is taken
def test_numpy_scalars_as_arguments() -> None:
    assert assert_type(fieldkit.lat_to_dms(np.float32(45.5)), str) == "45°30'00.00000\"N"
    assert fieldkit.station(np.float32(1234.5), np.int64(1000)) == "1+234.50"
    assert fieldkit.feet_inches(np.float64(5.5), np.int64(8)) == "5'6\""
    assert fieldkit.subscription_end(np.int64(1239019200)) == "4/11/2019"
    assert type(assert_type(fieldkit.date_to_count("01.02.2019"), int)) is int
    assert type(assert_type(fieldkit.__version__, str)) is str


# Fault: a call the module refuses accepted by the stubs, or a bool taken as a number
def test_refused_by_module_and_stubs(device_root: Any) -> None:
    with pytest.raises(TypeError):
        fieldkit.feet_inches(5.5, 8.0)  # type: ignore[call-overload]
    with pytest.raises(ValueError, match="not a whole number"):
        fieldkit.subscription_end(1.5)  # type: ignore[call-overload]
    with pytest.raises(TypeError):
        fieldkit.to_degrees(True, "radians")  # the module refuses bools; mypy cannot tell
    assert type(assert_type(fieldkit.lat_to_dms([1.0, 2.0]), npt.NDArray[np.str_])) is np.ndarray
    assert type(assert_type(fieldkit.parse_lat("1N"), float)) is float
    assert is_array(assert_type(fieldkit.parse_lat(["1N", None]), Array))
    assert type(assert_type(fieldkit.check_dms("1.3000"), bool)) is bool
    flags = assert_type(fieldkit.check_dms(["1.3000", None]), npt.NDArray[np.bool_])
    assert isinstance(flags, np.ndarray) and flags.dtype == np.bool_
    with pytest.raises(ValueError):
        fieldkit.to_xyz(0, 0, errors="loud")  # type: ignore[call-overload]
    with pytest.raises(TypeError):
        fieldkit.to_xyz(None, 7)  # type: ignore[call-overload]
    with pytest.raises(TypeError):
        fieldkit.to_blh(1, 2, "3")  # type: ignore[call-overload]
    with pytest.raises(TypeError):
        fieldkit.to_xyz(np.bool_(True), 7)  # type: ignore[call-overload]
    with pytest.raises(ValueError):
        fieldkit.to_xyz(0, 0, threads=1.5)  # type: ignore[call-overload]
    ini = fieldkit.Ini("settings.ini")
    with pytest.raises(TypeError):
        ini.set("section", "key", [1])  # type: ignore[arg-type]
    ini.set("section", "key", np.int64(1))  # numpy's numbers as Python's
    ini.set("section", "key", np.float64(1.5))
    assert assert_type(ini.get("section", "key"), Optional[str]) == "1.500000000000"
