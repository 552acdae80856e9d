import os
from types import TracebackType
from typing import (
    Any,
    Generic,
    List,
    Literal,
    NamedTuple,
    Optional,
    Tuple,
    Type,
    TypeVar,
    Union,
    overload,
)

import numpy as np
import numpy.typing as npt

_Path = Union[str, "os.PathLike[str]"]
_Array = npt.NDArray[np.float64]
_Whole = Union[int, np.integer[Any]]
# Lists and tuples (of numbers, or of texts), nested to any depth: always an array of rank 1 or more.
_Numbers = Union[List[Any], Tuple[Any, ...]]
_Errors = Literal["nan", "raise"]
_Unit = Literal["degrees", "radians", "grads", "mils", "dms"]
_Mode = Literal["checked", "lenient", "strict"]
_T = TypeVar("_T")
# A number where the module refuses booleans (mypy cannot tell a Python bool from an int).
_Real = Union[float, np.floating[Any], np.integer[Any]]
_Threads = Optional[_Whole]
_Texts = npt.NDArray[np.str_]

__version__: str

# Texts: a number gives a str, a list an array of str; a numpy array gives an array of its shape,
# or a str when it is 0-d, which numpy's types do not tell apart: Any, as numpy's own functions.
# Readers: one str gives a float, a list of texts an array, a numpy array Any.
@overload
def lat_to_dms(latitude: _Real, tenths: bool = False, threads: _Threads = None) -> str: ...
@overload
def lat_to_dms(latitude: _Numbers, tenths: bool = False, threads: _Threads = None) -> _Texts: ...
@overload
def lat_to_dms(
    latitude: npt.NDArray[Any],
    tenths: bool = False,
    threads: _Threads = None,
) -> Any: ...
@overload
def lon_to_dms(longitude: _Real, tenths: bool = False, threads: _Threads = None) -> str: ...
@overload
def lon_to_dms(longitude: _Numbers, tenths: bool = False, threads: _Threads = None) -> _Texts: ...
@overload
def lon_to_dms(
    longitude: npt.NDArray[Any],
    tenths: bool = False,
    threads: _Threads = None,
) -> Any: ...
@overload
def angle_to_dms(
    angle: _Real,
    decimals: Literal[4, 6, 0] = 4,
    threads: _Threads = None,
) -> str: ...
@overload
def angle_to_dms(
    angle: _Numbers,
    decimals: Literal[4, 6, 0] = 4,
    threads: _Threads = None,
) -> _Texts: ...
@overload
def angle_to_dms(
    angle: npt.NDArray[Any],
    decimals: Literal[4, 6, 0] = 4,
    threads: _Threads = None,
) -> Any: ...
@overload
def bearing(
    azimuth: _Real,
    north: Optional[bool] = None,
    east: Optional[bool] = None,
    threads: _Threads = None,
) -> str: ...
@overload
def bearing(
    azimuth: _Numbers,
    north: Optional[bool] = None,
    east: Optional[bool] = None,
    threads: _Threads = None,
) -> _Texts: ...
@overload
def bearing(
    azimuth: npt.NDArray[Any],
    north: Optional[bool] = None,
    east: Optional[bool] = None,
    threads: _Threads = None,
) -> Any: ...
@overload
def parse_angle(
    text: str,
    strict: bool = False,
    mode: Optional[_Mode] = None,
    errors: Optional[_Errors] = None,
    threads: _Threads = None,
) -> float: ...
@overload
def parse_angle(
    text: _Numbers,
    strict: bool = False,
    mode: Optional[_Mode] = None,
    errors: Optional[_Errors] = None,
    threads: _Threads = None,
) -> _Array: ...
@overload
def parse_angle(
    text: npt.NDArray[Any],
    strict: bool = False,
    mode: Optional[_Mode] = None,
    errors: Optional[_Errors] = None,
    threads: _Threads = None,
) -> Any: ...
@overload
def parse_lat(
    text: str,
    strict: bool = False,
    mode: Optional[_Mode] = None,
    errors: Optional[_Errors] = None,
    threads: _Threads = None,
) -> float: ...
@overload
def parse_lat(
    text: _Numbers,
    strict: bool = False,
    mode: Optional[_Mode] = None,
    errors: Optional[_Errors] = None,
    threads: _Threads = None,
) -> _Array: ...
@overload
def parse_lat(
    text: npt.NDArray[Any],
    strict: bool = False,
    mode: Optional[_Mode] = None,
    errors: Optional[_Errors] = None,
    threads: _Threads = None,
) -> Any: ...
@overload
def parse_lon(
    text: str,
    strict: bool = False,
    mode: Optional[_Mode] = None,
    errors: Optional[_Errors] = None,
    threads: _Threads = None,
) -> float: ...
@overload
def parse_lon(
    text: _Numbers,
    strict: bool = False,
    mode: Optional[_Mode] = None,
    errors: Optional[_Errors] = None,
    threads: _Threads = None,
) -> _Array: ...
@overload
def parse_lon(
    text: npt.NDArray[Any],
    strict: bool = False,
    mode: Optional[_Mode] = None,
    errors: Optional[_Errors] = None,
    threads: _Threads = None,
) -> Any: ...
@overload
def check_dms(
    value: str, maximum: str = "360", allow_maximum: bool = False, threads: _Threads = None
) -> bool: ...
@overload
def check_dms(
    value: _Numbers, maximum: str = "360", allow_maximum: bool = False, threads: _Threads = None
) -> npt.NDArray[np.bool_]: ...
@overload
def check_dms(
    value: npt.NDArray[Any], maximum: str = "360", allow_maximum: bool = False, threads: _Threads = None
) -> Any: ...
# One number gives a float, a list an array; a numpy array gives an array of its shape, or a
# float when it is 0-d.
@overload
def to_degrees(value: _Real, unit: _Unit, threads: _Threads = None) -> float: ...
@overload
def to_degrees(value: _Numbers, unit: _Unit, threads: _Threads = None) -> _Array: ...
@overload
def to_degrees(value: npt.NDArray[Any], unit: _Unit, threads: _Threads = None) -> Any: ...
@overload
def from_degrees(
    value: _Real,
    unit: _Unit,
    precision: _Whole = 5,
    threads: _Threads = None,
) -> float: ...
@overload
def from_degrees(
    value: _Numbers,
    unit: _Unit,
    precision: _Whole = 5,
    threads: _Threads = None,
) -> _Array: ...
@overload
def from_degrees(
    value: npt.NDArray[Any],
    unit: _Unit,
    precision: _Whole = 5,
    threads: _Threads = None,
) -> Any: ...
@overload
def feet_inches(feet: _Real, denominator: _Whole = 16, threads: _Threads = None) -> str: ...
@overload
def feet_inches(feet: _Numbers, denominator: _Whole = 16, threads: _Threads = None) -> _Texts: ...
@overload
def feet_inches(
    feet: npt.NDArray[Any],
    denominator: _Whole = 16,
    threads: _Threads = None,
) -> Any: ...
@overload
def parse_height(
    text: str,
    mode: Optional[_Mode] = None,
    errors: Optional[_Errors] = None,
    threads: _Threads = None,
) -> float: ...
@overload
def parse_height(
    text: _Numbers,
    mode: Optional[_Mode] = None,
    errors: Optional[_Errors] = None,
    threads: _Threads = None,
) -> _Array: ...
@overload
def parse_height(
    text: npt.NDArray[Any],
    mode: Optional[_Mode] = None,
    errors: Optional[_Errors] = None,
    threads: _Threads = None,
) -> Any: ...
@overload
def metres_to_feet(metres: _Real, us: bool = False, threads: _Threads = None) -> float: ...
@overload
def metres_to_feet(metres: _Numbers, us: bool = False, threads: _Threads = None) -> _Array: ...
@overload
def metres_to_feet(
    metres: npt.NDArray[Any],
    us: bool = False,
    threads: _Threads = None,
) -> Any: ...
@overload
def feet_to_metres(feet: _Real, us: bool = False, threads: _Threads = None) -> float: ...
@overload
def feet_to_metres(feet: _Numbers, us: bool = False, threads: _Threads = None) -> _Array: ...
@overload
def feet_to_metres(feet: npt.NDArray[Any], us: bool = False, threads: _Threads = None) -> Any: ...
@overload
def station(chainage: _Real, interval: _Real = 100.0, threads: _Threads = None) -> str: ...
@overload
def station(chainage: _Numbers, interval: _Real = 100.0, threads: _Threads = None) -> _Texts: ...
@overload
def station(
    chainage: npt.NDArray[Any],
    interval: _Real = 100.0,
    threads: _Threads = None,
) -> Any: ...
@overload
def parse_station(
    text: str,
    interval: _Real = 100.0,
    mode: Optional[_Mode] = None,
    errors: Optional[_Errors] = None,
    threads: _Threads = None,
) -> float: ...
@overload
def parse_station(
    text: _Numbers,
    interval: _Real = 100.0,
    mode: Optional[_Mode] = None,
    errors: Optional[_Errors] = None,
    threads: _Threads = None,
) -> _Array: ...
@overload
def parse_station(
    text: npt.NDArray[Any],
    interval: _Real = 100.0,
    mode: Optional[_Mode] = None,
    errors: Optional[_Errors] = None,
    threads: _Threads = None,
) -> Any: ...
@overload
def date_to_count(
    text: str, errors: Optional[_Errors] = None, threads: _Threads = None
) -> int: ...
@overload
def date_to_count(
    text: _Numbers, errors: Optional[_Errors] = None, threads: _Threads = None
) -> _Array: ...
@overload
def date_to_count(
    text: npt.NDArray[Any], errors: Optional[_Errors] = None, threads: _Threads = None
) -> Any: ...
@overload
def subscription_end(gps_seconds: _Whole, threads: _Threads = None) -> str: ...
@overload
def subscription_end(gps_seconds: _Numbers, threads: _Threads = None) -> _Texts: ...
@overload
def subscription_end(gps_seconds: npt.NDArray[Any], threads: _Threads = None) -> Any: ...
# Positions: numbers (not booleans, which the module refuses; mypy cannot tell a Python bool
# from an int), sequences and numpy arrays, masked ones too. (The module also reads whatever
# has __array__, a pandas Series say; numpy's own scalars have it too, booleans among them, so
# the stubs leave it out.) Results are named tuples of three: floats for numbers, arrays when a list is among
# the inputs; with numpy arrays, floats when every input is 0-d, which numpy's types do not
# tell apart: Any.
_Position = Union[_Real, _Numbers, npt.NDArray[Any]]
class XYZ(NamedTuple, Generic[_T]):
    """Earth-centred, earth-fixed x, y, z in metres."""

    x: _T
    y: _T
    z: _T

class BLH(NamedTuple, Generic[_T]):
    """Latitude and longitude in decimal degrees, height in metres."""

    lat: _T
    lon: _T
    h: _T

@overload
def to_xyz(
    lat: _Real, lon: _Real, h: _Real = 0.0, errors: _Errors = "nan", threads: _Threads = None
) -> XYZ[float]: ...
@overload
def to_xyz(
    lat: _Numbers,
    lon: _Position,
    h: _Position = 0.0,
    errors: _Errors = "nan",
    threads: _Threads = None,
) -> XYZ[_Array]: ...
@overload
def to_xyz(
    lat: _Position,
    lon: _Numbers,
    h: _Position = 0.0,
    errors: _Errors = "nan",
    threads: _Threads = None,
) -> XYZ[_Array]: ...
@overload
def to_xyz(
    lat: _Position,
    lon: _Position,
    h: _Numbers,
    errors: _Errors = "nan",
    threads: _Threads = None,
) -> XYZ[_Array]: ...
@overload
def to_xyz(
    lat: _Position,
    lon: _Position,
    h: _Position = 0.0,
    errors: _Errors = "nan",
    threads: _Threads = None,
) -> XYZ[Any]: ...
@overload
def to_blh(
    x: _Real, y: _Real, z: _Real, errors: _Errors = "nan", threads: _Threads = None
) -> BLH[float]: ...
@overload
def to_blh(
    x: _Numbers, y: _Position, z: _Position, errors: _Errors = "nan", threads: _Threads = None
) -> BLH[_Array]: ...
@overload
def to_blh(
    x: _Position, y: _Numbers, z: _Position, errors: _Errors = "nan", threads: _Threads = None
) -> BLH[_Array]: ...
@overload
def to_blh(
    x: _Position, y: _Position, z: _Numbers, errors: _Errors = "nan", threads: _Threads = None
) -> BLH[_Array]: ...
@overload
def to_blh(
    x: _Position, y: _Position, z: _Position, errors: _Errors = "nan", threads: _Threads = None
) -> BLH[Any]: ...
# '' raises ValueError, a missing folder FileNotFoundError, a file NotADirectoryError.
def set_device_root(folder: _Path) -> None: ...
def get_device_root() -> str: ...
def host_path(device_path: _Path) -> str: ...

class Ini:
    def __init__(self, path: _Path) -> None: ...
    @property
    def path(self) -> str: ...
    def sections(self) -> list[str]: ...
    def keys(self, section: str) -> list[str]: ...
    def __contains__(self, section: str) -> bool: ...
    @overload
    def get(self, section: str, key: str) -> Optional[str]: ...
    @overload
    def get(self, section: str, key: str, default: _T) -> Union[str, _T]: ...
    # numpy.float64 is a float to the module, though not to numpy's types.
    def set(
        self,
        section: str,
        key: str,
        value: Union[str, int, float, bool, np.bool_, np.integer[Any], np.floating[Any]],
    ) -> None: ...
    def remove(self, section: str, key: str) -> None: ...
    def save(self, path: Optional[_Path] = None) -> None: ...
    def __enter__(self) -> "Ini": ...
    def __exit__(
        self,
        type: Optional[Type[BaseException]],
        value: Optional[BaseException],
        traceback: Optional[TracebackType],
    ) -> bool: ...

class Catalog:
    def __init__(self, path: _Path) -> None: ...
    @property
    def path(self) -> str: ...
    def gettext(self, text: str) -> str: ...

__all__ = [
    "BLH",
    "Catalog",
    "Ini",
    "XYZ",
    "angle_to_dms",
    "bearing",
    "check_dms",
    "date_to_count",
    "feet_inches",
    "feet_to_metres",
    "from_degrees",
    "get_device_root",
    "host_path",
    "lat_to_dms",
    "lon_to_dms",
    "metres_to_feet",
    "parse_angle",
    "parse_height",
    "parse_lat",
    "parse_lon",
    "parse_station",
    "set_device_root",
    "station",
    "subscription_end",
    "to_blh",
    "to_degrees",
    "to_xyz",
]
