"""fieldkit for Python: the texts surveyors read and type, angle and length units, and
geodetic conversions on WGS 84, from the fieldkit C++ library.

Texts are exactly those of the library and the ``fieldkit`` tool, whatever the locale.
Every conversion takes a single value or a numpy array of any shape (lists and pandas
columns too) and splits large arrays over the machine's cores (``threads=``); texts that
cannot be read give NaN in arrays, or ValueError naming the element with errors="raise".

Paths: ``Ini``, ``Catalog`` and ``host_path`` take device paths, resolved inside the device
root (``set_device_root``; by default the environment variable FIELDKIT_DEVICE_ROOT, else
"/"). With the root "/", an absolute host path names the same file; a relative path is
relative to the device root, not to the current folder.
"""

import inspect as _inspect

from . import _fieldkit
from ._fieldkit import BLH, XYZ, Catalog, Ini, __version__

# The functions are Python functions in front of the compiled ones, each with the compiled
# one's parameters and docstring: pickle sends a Python function by name (a compiled one does
# not pickle), so dask and multiprocessing can ship them to worker processes.


def angle_to_dms(angle, decimals=4, threads=None):
    return _fieldkit.angle_to_dms(angle, decimals, threads)


def bearing(azimuth, north=None, east=None, threads=None):
    return _fieldkit.bearing(azimuth, north, east, threads)


def check_dms(value, maximum="360", allow_maximum=False, threads=None):
    return _fieldkit.check_dms(value, maximum, allow_maximum, threads)


def date_to_count(text, errors=None, threads=None):
    return _fieldkit.date_to_count(text, errors, threads)


def feet_inches(feet, denominator=16, threads=None):
    return _fieldkit.feet_inches(feet, denominator, threads)


def feet_to_metres(feet, us=False, threads=None):
    return _fieldkit.feet_to_metres(feet, us, threads)


def from_degrees(value, unit, precision=5, threads=None):
    return _fieldkit.from_degrees(value, unit, precision, threads)


def get_device_root():
    return _fieldkit.get_device_root()


def host_path(device_path):
    return _fieldkit.host_path(device_path)


def lat_to_dms(latitude, tenths=False, threads=None):
    return _fieldkit.lat_to_dms(latitude, tenths, threads)


def lon_to_dms(longitude, tenths=False, threads=None):
    return _fieldkit.lon_to_dms(longitude, tenths, threads)


def metres_to_feet(metres, us=False, threads=None):
    return _fieldkit.metres_to_feet(metres, us, threads)


def parse_angle(text, strict=False, mode=None, errors=None, threads=None):
    return _fieldkit.parse_angle(text, strict, mode, errors, threads)


def parse_height(text, mode=None, errors=None, threads=None):
    return _fieldkit.parse_height(text, mode, errors, threads)


def parse_lat(text, strict=False, mode=None, errors=None, threads=None):
    return _fieldkit.parse_lat(text, strict, mode, errors, threads)


def parse_lon(text, strict=False, mode=None, errors=None, threads=None):
    return _fieldkit.parse_lon(text, strict, mode, errors, threads)


def parse_station(text, interval=100.0, mode=None, errors=None, threads=None):
    return _fieldkit.parse_station(text, interval, mode, errors, threads)


def set_device_root(folder):
    return _fieldkit.set_device_root(folder)


def station(chainage, interval=100.0, threads=None):
    return _fieldkit.station(chainage, interval, threads)


def subscription_end(gps_seconds, threads=None):
    return _fieldkit.subscription_end(gps_seconds, threads)


def to_blh(x, y, z, errors="nan", threads=None):
    return _fieldkit.to_blh(x, y, z, errors, threads)


def to_degrees(value, unit, threads=None):
    return _fieldkit.to_degrees(value, unit, threads)


def to_xyz(lat, lon, h=0.0, errors="nan", threads=None):
    return _fieldkit.to_xyz(lat, lon, h, errors, threads)


for _function in [value for name, value in list(globals().items())
                  if callable(value) and getattr(value, "__module__", None) == __name__]:
    _function.__doc__ = getattr(_fieldkit, _function.__name__).__doc__
del _function

# pybind11's classes keep their constructor's parameters on __init__ only: the class's own
# signature is that of __init__ without self.
for _class in (Ini, Catalog):
    _parameters = list(_inspect.signature(_class.__init__).parameters.values())[1:]
    _class.__signature__ = _inspect.Signature(_parameters)
del _class, _parameters

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
