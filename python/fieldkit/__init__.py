"""fieldkit for Python: the texts surveyors read and type, angle and length units, and
geodetic conversions on WGS 84, from the fieldkit C++ library.

Texts are exactly those of the library and the ``fieldkit`` tool, whatever the locale.
Positions convert on numbers and on numpy arrays of any shape (``to_xyz``, ``to_blh``).

Paths: ``Ini``, ``Catalog`` and ``host_path`` take device paths, resolved inside the device
root (``set_device_root``; by default the environment variable FIELDKIT_DEVICE_ROOT, else
"/"). With the root "/", an absolute host path names the same file; a relative path is
relative to the device root, not to the current folder.
"""

from ._fieldkit import (
    BLH,
    Catalog,
    Ini,
    XYZ,
    angle_to_dms,
    bearing,
    check_dms,
    date_to_count,
    feet_inches,
    feet_to_metres,
    from_degrees,
    get_device_root,
    host_path,
    lat_to_dms,
    lon_to_dms,
    metres_to_feet,
    parse_angle,
    parse_height,
    parse_lat,
    parse_lon,
    parse_station,
    set_device_root,
    station,
    subscription_end,
    to_degrees,
)
from ._fieldkit import __version__
from . import _fieldkit


# Python functions in front of the compiled ones: pickle sends them by name (compiled
# functions do not pickle), so dask and multiprocessing can ship them to worker processes.
def to_xyz(lat, lon, h=0.0, errors="nan", threads=None):
    return _fieldkit.to_xyz(lat, lon, h, errors, threads)


def to_blh(x, y, z, errors="nan", threads=None):
    return _fieldkit.to_blh(x, y, z, errors, threads)


to_xyz.__doc__ = _fieldkit.to_xyz.__doc__
to_blh.__doc__ = _fieldkit.to_blh.__doc__

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
