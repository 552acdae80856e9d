"""Texts out and typed text in, against a reference written here from the documented rules in
exact arithmetic (a Fraction holds a double exactly): the tool shares the module's code, so only
an independent reference shows a fault in it."""

import math
from datetime import datetime, timedelta
from fractions import Fraction

import numpy as np
import pytest

import fieldkit

# --- The reference. Rounding is to nearest with ties to even (as printf rounds the exact
# value) unless a text says it cuts; the feet and inches break ties away from zero (0.375 ft,
# 4.5 in, is 5" to the whole inch).


def units(x, scale, how="even"):
    """|x| * scale as a whole number of units: rounded, cut, or rounded with ties away."""
    q = abs(Fraction(x)) * scale
    return {"even": round(q), "cut": math.floor(q), "away": math.floor(q + Fraction(1, 2))}[how]


def carried(x):
    """|x| in seconds, after the seconds carry the library documents: seconds above 59.99999
    are 0 of the next minute (and 60 minutes the next degree), whatever is printed after."""
    q = abs(Fraction(x)) * 3600
    whole_minutes = q // 60
    return 60 * (whole_minutes + 1) if q - 60 * whole_minutes > Fraction(5999999, 100000) else q


def dms(x, places, how="even", deg_width=1, sec_width=1):
    """Degrees, minutes and seconds of |x|, the seconds carried into the minute and degree."""
    n = units(carried(x), 10**places, how)
    sec, minutes = n % (60 * 10**places), n // (60 * 10**places)
    s = f"{sec // 10**places}" + (f".{sec % 10**places:0{places}d}" if places else "")
    return f"{minutes // 60:0{deg_width}d}°{minutes % 60:02d}'{s.rjust(sec_width, '0')}\"", n


# The hemisphere letter follows the value's sign even when the digits show zero (-1e-9 is S,
# -0.0 is N); latitudes pad the degrees to two digits, longitudes do not; five decimals pad
# the seconds to two digits, the cut tenths do not.
def lat(x, tenths=False, letters="NS", deg_width=2):
    text = dms(x, 1, "cut", deg_width)[0] if tenths else dms(x, 5, "even", deg_width, 8)[0]
    return text + letters[x < 0]


def lon(x, tenths=False):
    return lat(x, tenths, "EW", 1)


def angle(x, decimals=4):
    # Whole seconds are cut and keep the sign of any negative value ('-000°00'0"'); with
    # decimals, a negative angle of 0.0001 second or less (after the carry) has no sign.
    text = dms(x, decimals, "cut" if decimals == 0 else "even", 3 if decimals == 0 else 1)[0]
    shows_sign = decimals == 0 or carried(x) > Fraction(1, 10000)
    return ("-" if x < 0 and shows_sign else "") + text


def quadrant(azimuth):
    """The letters and the angle from north or south of an azimuth (90 is N..E, 180 S..E)."""
    a = Fraction(azimuth) % 360
    if a <= 90:
        return "NE", a
    if a <= 180:
        return "SE", 180 - a
    if a <= 270:
        return "SW", a - 180
    return "NW", 360 - a


def bearing(azimuth):
    letters, a = quadrant(azimuth)
    return letters[0] + dms(a, 4)[0] + letters[1]


def feet_inches(x, denominator=16):
    # Feet left out when none, inches when none ("5'1/16\"", "1/4\"", "5'"), and no sign on
    # a text of zeros, written "0'0\"".
    # Whole inches are cut, and a hair (0.00005 in) below a whole inch counts as that inch.
    per_inch = max(denominator, 1)
    inches = abs(Fraction(x)) * 12 + (0 if denominator else Fraction(5, 100000))
    n = units(inches, per_inch, "away" if denominator else "cut")
    feet, inches, rest = n // (12 * per_inch), n // per_inch % 12, Fraction(n % per_inch, per_inch)
    if n == 0:
        return "0'0\""
    text = (f"{feet}'" if feet else "") + (f"{inches}" if inches else "")
    text += ((" " if inches else "") + f"{rest.numerator}/{rest.denominator}") if rest else ""
    return ("-" if x < 0 else "") + text + ("\"" if inches or rest else "")


def station(x, interval=100):
    # Before zero the whole intervals and the rest are negative ('-12+-34.50'), a zero count
    # has no sign.
    step, cents = Fraction(interval), units(x, 100)
    whole, rest = divmod(Fraction(cents, 100), step)
    # The remainder is the chainage less the whole intervals: exactly 0, unsigned, on a whole
    # interval ('-1+0.00'), but -0.0 keeps its sign.
    before_zero = math.copysign(1, x) < 0
    rest_sign = "-" if before_zero and (x == 0 or Fraction(x) % step != 0) else ""
    return f"{'-' if before_zero and whole else ''}{whole}+{rest_sign}{float(rest):.2f}"


def subscription_end(seconds):
    if seconds <= 0:
        return "Expired"
    day = datetime(1980, 1, 6) + timedelta(seconds=seconds - 3 * 3600)
    return f"{day.month}/{day.day}/{day.year}"


def date_count(day, month, year, hour=0, minute=0):
    # Only years after 2000 count from 2000 ('1.1.2000' counts all 2000 years).
    years = year - 2000 if year > 2000 else year
    return ((years * 365 + month * 30 + day) * 24 + hour) * 60 + minute


# --- Texts: the module against the reference over a seeded sample and the edges: carries into
# the next minute and degree, negative zero, tiny and whole values, the limits.
rng = np.random.default_rng(26)


def sample(limit, step, gap, edges, n=2000):
    """Random values, half of them just off a multiple of step (a carry), plus the edges.

    The offsets start at gap and go to 50 gaps, on both sides of the carry."""
    grid = rng.integers(-limit / step, limit / step, n // 2) * step
    near = grid + rng.choice([-1, 1], n // 2) * rng.uniform(gap, 50 * gap, n // 2)
    values = np.concatenate([rng.uniform(-limit, limit, n // 2), np.clip(near, -limit, limit)])
    return [float(v) for v in values] + edges


EDGES = [45.5, -12.3456789, 0.0, -0.0, 89.99999999, -33.8568, 1e-9, 5e-324, 90, -90]
LATS = sample(90, 1 / 60, 3e-9, EDGES + [-1e-9])
LONS = sample(360, 1 / 60, 3e-9, EDGES + [-1e-9, 151.2093, -359.5, 200.04])
ANGLES = sample(1000, 1 / 60, 3e-9, EDGES + [123.456789, -1e-7, -720.25, 0.5, 1e9, -1e9])
AZIMUTHS = sample(360, 1 / 60, 3e-9, [0, 45, 90, 150, 180, 200.5, 270, 315, -30, 360, -360])
FEET = sample(100, 1 / 48, 1e-5, [5.5, 5 + 6.25 / 12, -5.5, 0, -0.0, 1 / 48, -1 / 48, 5.52,
                                  0.99, 11.999, 0.375, 0.125, 5 + 11.99 / 12, 1 / 96, 1e-300])
CHAINAGES = sample(1e5, 0.005, 1e-9, [1234.567, -1165.5, 0, -0.0, 99.999, -0.001, -0.005, 0.005,
                                      0.015, 12.345, -100.0, -2000.0])
SECONDS = [int(s) for s in rng.integers(-10**6, 4 * 10**9, 2000)] + [
    1239019200, 0, -5, 1, 10799, 10800, 97199, 97200]

TEXTS = [
    (fieldkit.lat_to_dms, {}, lat, LATS),
    (fieldkit.lat_to_dms, {"tenths": True}, lat, LATS),
    (fieldkit.lon_to_dms, {}, lon, LONS),
    (fieldkit.lon_to_dms, {"tenths": True}, lon, LONS),
    (fieldkit.angle_to_dms, {}, angle, ANGLES),
    (fieldkit.angle_to_dms, {"decimals": 6}, angle, ANGLES),
    (fieldkit.angle_to_dms, {"decimals": 0}, angle, ANGLES),
    (fieldkit.bearing, {}, bearing, AZIMUTHS),
    (fieldkit.feet_inches, {}, feet_inches, FEET),
    (fieldkit.feet_inches, {"denominator": 0}, feet_inches, FEET),
    (fieldkit.feet_inches, {"denominator": 3}, feet_inches, FEET),
    (fieldkit.feet_inches, {"denominator": 1}, feet_inches, FEET),
    (fieldkit.station, {}, station, CHAINAGES),
    (fieldkit.station, {"interval": 1000}, station, CHAINAGES),
    (fieldkit.station, {"interval": 20}, station, CHAINAGES),
    (fieldkit.subscription_end, {}, subscription_end, SECONDS),
]


# Fault: a text not carrying 59.99999 seconds, or rounding where the rule cuts
@pytest.mark.parametrize("call, options, model, values", TEXTS)
def test_texts_follow_the_rules(call, options, model, values):
    want = [model(v, **options) for v in values]
    got = call(np.array(values), **options).tolist()
    assert [(v, g, w) for v, g, w in zip(values, got, want) if g != w][:5] == []


# Fault: quadrant letters that do not fit the azimuth printed instead of refused
def test_bearing_letters_must_match_the_quadrant():
    # Below -180 too: -350 is N..E, and S..W must not print an angle of -170.
    for azimuth in AZIMUTHS[::10] + [-350, -300, -200]:
        letters = quadrant(azimuth)[0]
        north, east = letters[0] == "N", letters[1] == "E"
        assert fieldkit.bearing(azimuth, north=north, east=east) == bearing(azimuth)
        for wrong in [{"north": not north, "east": east}, {"north": north, "east": not east}]:
            if quadrant(azimuth)[1] not in (0, 90):  # on an axis, two quadrants hold it
                with pytest.raises(ValueError, match="^the azimuth is not in the"):
                    fieldkit.bearing(azimuth, **wrong)


# Close to a carry, and where a rule has a threshold of its own: the seconds carry above
# 59.99999, the sign of a negative angle only above 0.0001 second, a hair below a whole inch.
# Fault: a value a hair below a carry or the sign threshold written on the wrong side
@pytest.mark.parametrize("call, options, model, value", [
    (fieldkit.lat_to_dms, {}, lat, 10.5 - 9e-6 / 3600),
    (fieldkit.lat_to_dms, {"tenths": True}, lat, 10.5 - 9e-6 / 3600),
    (fieldkit.lon_to_dms, {"tenths": True}, lon, 359.99999999999),
    (fieldkit.angle_to_dms, {"decimals": 6}, angle, 10.5 - 9e-6 / 3600),
    (fieldkit.angle_to_dms, {"decimals": 0}, angle, 359.99999999999),
    (fieldkit.angle_to_dms, {"decimals": 6}, angle, -1e-9),
    (fieldkit.angle_to_dms, {}, angle, -1.4e-8),
    (fieldkit.feet_inches, {"denominator": 0}, feet_inches, 1 + 5.99995 / 12),
])
def test_texts_at_the_thresholds(call, options, model, value):
    assert call(value, **options) == model(value, **options)


# Fault: a station text the library writes refused by the checked reader
def test_a_station_text_reads_back():
    for chainage in [-100.0, -2000.0, -1165.5, 1234.5, 0.0]:
        assert fieldkit.parse_station(fieldkit.station(chainage)) == chainage


# --- Readers: texts written here from known values, in every documented spelling, read back to
# the exact value within one unit in the last place (no doc promises the nearest double).
SECOND_MARKS = ['"', "″", "”", "''"]
MARKS = list(zip("°º˚°º˚", "'′’'′’", SECOND_MARKS * 2))


def typed(limit, n=700):
    """(text, exact degrees) of angles below limit: degrees, minutes and seconds with marks in
    every spelling, d m s units, blanks, colons; decimal minutes, decimal degrees, minutes."""
    pick, out = np.random.default_rng(limit), []
    for i in range(n):
        d, m, frac = (int(v) for v in pick.integers([0, 0, 0], [limit, 60, 1000]))
        s = f"{pick.integers(60)}" + (f".{frac}" if i % 2 else "")
        dms = d + Fraction(m, 60) + Fraction(s) / 3600
        deg, mi, se = MARKS[i % 6]
        out.append([(f"{d}{deg}{m}{mi}{s}{se}", dms), (f"{d}d{m}m{s}s", dms),
                    (f"{d} {m} {s}", dms), (f"{d}:{m}:{s}", dms),
                    (f"{d}{deg}{m}.{frac}{mi}", d + Fraction(f"{m}.{frac}") / 60),
                    (f"{d}.{frac}", Fraction(f"{d}.{frac}")),
                    (f"{m}.{frac}{mi}", Fraction(f"{m}.{frac}") / 60)][i % 7])
    return out


def signed(cases, letters):
    """The cases with a minus or a hemisphere letter, first or last, in either case, with a
    blank or not; the minus and the second letter make the value negative."""
    out = []
    for i, (text, value) in enumerate(cases):
        south, blank = i % 2 == 1, " " * (i % 3 == 0)
        letter = letters[south].lower() if i % 5 == 4 else letters[south]
        last = text + (" " if text.endswith("s") else blank) + letter  # 15.5s is seconds
        out.append(([("-" if south else "") + text, f"{letter}{blank}{text}", last][i % 3],
                    -value if south else value))
    return out


def far(parse, cases, **options):
    """The texts parse reads further than one unit in the last place from the exact value."""
    got = parse([t for t, _ in cases], errors="raise", **options).tolist()
    return [(t, g, float(e)) for (t, e), g in zip(cases, got)
            if abs(g - float(e)) > np.spacing(abs(float(e)))][:5]


# Fault: a spelling of an angle read to another value, or a hemisphere letter swapped
def test_angles_latitudes_and_longitudes_read_back():
    assert far(fieldkit.parse_angle, signed(typed(1000), "+-")[::3]) == []  # a minus or none
    assert far(fieldkit.parse_lat, signed(typed(90), "NS")) == []
    assert far(fieldkit.parse_lon, signed(typed(360), "EW")) == []


# Fault: a bearing's quadrant measured from the wrong line
def test_bearings_read_as_azimuths():
    cases = []
    for i, (text, a) in enumerate(typed(90)):
        letters, azimuth = [("NE", a), ("SE", 180 - a), ("SW", 180 + a), ("NW", 360 - a)][i % 4]
        cases.append((letters[0] + text + letters[1], azimuth % 360))
    assert far(fieldkit.parse_angle, cases) == []


# Fault: the three reading modes disagreeing on a well-formed text
def test_the_usual_writing_reads_alike_in_every_mode():
    # Degrees, minutes and seconds with marks: lenient reads other spellings as plain numbers.
    cases = [(t, v) for t, v in signed(typed(90), "NS") if any(m in t for m in SECOND_MARKS)]
    for mode in ["checked", "lenient", "strict"]:
        assert far(fieldkit.parse_lat, cases, mode=mode) == [], mode


# Fault: inches read as tenths of a foot, or a station's remainder sign lost
def test_heights_stations_and_dates_read_back():
    pick, heights = np.random.default_rng(12), []
    for i in range(600):
        feet, inches, d, h = (int(v) for v in pick.integers([0, 0, 2, 0], [100, 12, 65, 100]))
        frac = Fraction(int(pick.integers(1, d)), d)
        n, d = frac.numerator, frac.denominator
        b = " " * (i % 3)  # blanks around the marks and the slash do not matter
        text, value = [(f"{feet}{b}'{b}{inches} {n}{b}/{b}{d}{b}\"", feet + (inches + frac) / 12),
                       (f"{feet}'{inches}.{h:02d}\"", feet + (inches + Fraction(h, 100)) / 12),
                       (f"{feet}'{b}{inches}", feet + Fraction(inches, 12)),  # no inch mark
                       (f"{feet}'", feet), (f"{n}/{d}\"", frac / 12),
                       (f"{feet}.{h:02d}", feet + Fraction(h, 100))][i % 6]
        heights.append(("-" + text, -value) if i % 4 == 1 else (text, value))
    assert far(fieldkit.parse_height, heights) == []
    for interval in [100, 1000]:
        cases = [(station(c / 100, interval), Fraction(int(c), 100))
                 for c in pick.integers(-10**7, 10**7, 600)]
        assert far(lambda t, **o: fieldkit.parse_station(t, interval=interval, **o), cases) == []
    dates = [[int(v) for v in pick.integers([1, 1, 1900, 0, 0], [32, 13, 6000, 24, 60])]
             for _ in range(600)]
    texts = [f"{d:02d}.{m:02d}.{y}, {h}:{mi:02d}" if i % 2 else f"{d}.{m}.{y}"
             for i, (d, m, y, h, mi) in enumerate(dates)]
    counts = [date_count(d, m, y, h, mi) if i % 2 else date_count(d, m, y)
              for i, (d, m, y, h, mi) in enumerate(dates)]
    assert fieldkit.date_to_count(texts, errors="raise").tolist() == counts
    assert [fieldkit.date_to_count(t) for t in texts[:50]] == counts[:50]


# Fault: a worked example's text changed
def test_worked_examples():
    assert fieldkit.lat_to_dms(45.5) == "45°30'00.00000\"N"
    assert fieldkit.lon_to_dms(-33.8568, tenths=True) == "33°51'24.4\"W"  # cut, not rounded
    assert fieldkit.angle_to_dms(123.456789) == "123°27'24.4404\""
    assert fieldkit.bearing(150) == "S30°00'0.0000\"E"
    assert fieldkit.feet_inches(5 + 6.25 / 12) == "5'6 1/4\""
    assert fieldkit.station(1234.567) == "12+34.57"
    assert fieldkit.date_to_count("01.02.2019, 10:30") == 10074870
    assert fieldkit.subscription_end(1239019200) == "4/11/2019"


DMS = 45 + Fraction(30, 60) + Fraction(155, 36000)
# (reader, text, mode, the value or the start of the reason), as the docs give them.
READINGS = [
    (fieldkit.parse_angle, "12,5", "checked", "a decimal comma"),
    (fieldkit.parse_angle, "12,5", "lenient", 12 + Fraction(5, 60)),  # numbers split by anything
    (fieldkit.parse_angle, "12°61'", "checked", "minutes of 60 or more"),
    (fieldkit.parse_angle, "abc", "checked", "no digit"),
    (fieldkit.parse_angle, "abc", "lenient", 0),
    (fieldkit.parse_angle, "", "lenient", 0),
    (fieldkit.parse_lat, "45 30 15.5 W", "checked", r"E or W in a latitude \('W' at char"),
    (fieldkit.parse_lat, "45 30 15.5 W", "lenient", DMS),
    (fieldkit.parse_lat, "45d30m15.5s", "checked", DMS),
    (fieldkit.parse_lat, "45d30m15.5s", "lenient", -DMS),  # an s anywhere is south
    (fieldkit.parse_lat, "45d30m15.5s", "strict", "a unit letter.*'d' at character 3"),
    (fieldkit.parse_lat, "45d30m15.5s S", "checked", -DMS),
    (fieldkit.parse_lat, "-45°30'S", "checked", "both a sign and a hemisphere letter"),
    (fieldkit.parse_lat, "-45°30'S", "lenient", 45.5),  # two negations
    (fieldkit.parse_lat, "453015.5N", "checked", "a latitude beyond 90 degrees, packed DDMMSS?"),
    (fieldkit.parse_lat, "N/A", "checked", "no digit: 'N/A'$"),
    (fieldkit.parse_lat, "N/A", "lenient", 0),
    (fieldkit.parse_lon, "w 5", "lenient", -5),
    (fieldkit.parse_lon, "190", "checked", 190),
    (fieldkit.parse_lon, "190", "strict", "a longitude beyond 180 degrees"),
    (fieldkit.parse_height, "5'6.25\"", "checked", 5 + Fraction(625, 1200)),
    (fieldkit.parse_height, "5'6.25\"", "lenient", 5.5),
    (fieldkit.parse_height, "5'13\"", "checked", "inches of 12 or more after feet"),
    (fieldkit.parse_station, "-12+-34.50", "checked", -1234.5),
    (fieldkit.parse_station, "-12+34.50", "checked", "a negative station with an unsigned"),
    (fieldkit.parse_station, "-12+34.50", "lenient", -1165.5),
]


# Fault: a documented reading or refusal giving another value or reason
@pytest.mark.parametrize("read, text, mode, expected", READINGS)
def test_documented_readings(read, text, mode, expected):
    if isinstance(expected, str):
        with pytest.raises(ValueError, match="^" + expected):
            read(text, mode=mode)
    else:
        assert read(text, mode=mode) == float(expected)


# (python call, tool command line): the tool refuses with the module's reason, its own prefix
# and status 2; the one comparison with the tool, which adds only that.
REFUSED = [
    (lambda: fieldkit.lat_to_dms(90.5), ["lat", "90.5"]),
    (lambda: fieldkit.lat_to_dms(math.nan), ["lat", "nan"]),
    (lambda: fieldkit.lon_to_dms(-math.inf), ["lon", "--", "-inf"]),
    (lambda: fieldkit.bearing(150, north=True), ["bearing", "150", "--north"]),
    (lambda: fieldkit.bearing(400), ["bearing", "400"]),
    (lambda: fieldkit.station(1e12, interval=0.001), ["station", "1000000000000",
                                                      "--interval", "0.001"]),
    (lambda: fieldkit.parse_station("12+3x"), ["station", "12+3x"]),
    (lambda: fieldkit.parse_height("5 6"), ["height", "5 6"]),
    (lambda: fieldkit.parse_height("5'6/"), ["height", "5'6/"]),
    (lambda: fieldkit.parse_lat("45 30 X"), ["parse-lat", "45 30 X"]),
    (lambda: fieldkit.parse_angle("12°30\"15'"), ["parse-angle", "12°30\"15'"]),
    (lambda: fieldkit.parse_lat("12\x1b", mode="strict"), ["parse-lat", "--strict", "12\x1b"]),
    (lambda: fieldkit.date_to_count("32.1.2019"), ["date", "32.1.2019"]),
    (lambda: fieldkit.date_to_count("1.2.7000"), ["date", "1.2.7000"]),
]


# Fault: the tool and the module refusing a value with different reasons
@pytest.mark.parametrize("call, command", REFUSED)
def test_the_tool_refuses_with_the_modules_reason(tool, call, command):
    status, out, err = tool(*command)
    assert status == 2 and out == ""
    prefix = f"fieldkit: {command[0]}: "
    assert err.startswith(prefix)
    with pytest.raises(ValueError) as raised:
        call()
    assert str(raised.value) == err[len(prefix):].rstrip("\n")


# Fault: an option value out of its range accepted
def test_option_values_are_checked_as_the_tool_checks_them():
    with pytest.raises(ValueError, match=r"^denominator: out of range \(0 to 65536\): '-1'$"):
        fieldkit.feet_inches(5.5, -1)
    with pytest.raises(ValueError, match=r"^interval: out of range"):
        fieldkit.station(100, interval=0)
    with pytest.raises(ValueError, match="4, 6 or 0"):
        fieldkit.angle_to_dms(1.0, decimals=5)


# Fault: an unknown mode taken as lenient, or strict= and mode= disagreeing silently
def test_modes_are_checked():
    # strict=True is the older spelling of mode="strict".
    with pytest.raises(ValueError, match="'d' at character 3"):
        fieldkit.parse_lat("45d30m15.5s", strict=True)
    assert fieldkit.parse_lat("45°30'S", True, mode="strict") == -45.5
    with pytest.raises(ValueError, match="^mode: 'checked', 'lenient' or 'strict', not 'loose'$"):
        fieldkit.parse_angle("1", mode="loose")
    with pytest.raises(ValueError, match="^strict=True and mode='lenient' disagree$"):
        fieldkit.parse_lat("1", strict=True, mode="lenient")
    with pytest.raises(ValueError, match="not 1"):
        fieldkit.parse_height("1", mode=1)


# Fault: 60 minutes accepted in a packed angle, or a missing text taken as acceptable
def test_dms_check():
    assert fieldkit.check_dms("123.4530")
    assert not fieldkit.check_dms("12.5960", "90")
    assert not fieldkit.check_dms("360", "360")
    assert fieldkit.check_dms("360.0000", "360", allow_maximum=True)
    # Arrays of texts give arrays of answers; a missing text is not acceptable.
    texts = np.array([["123.4530", "12.5960"], ["360", "1"]])
    assert fieldkit.check_dms(texts, "360").tolist() == [[True, False], [False, True]]
    assert fieldkit.check_dms(["45.3000", None, "x"], "90").tolist() == [True, False, False]
    masked = fieldkit.check_dms(np.ma.masked_array(["1", "99.9999"], mask=[False, True]))
    assert masked.mask.tolist() == [False, True] and bool(masked[0])


# Fault: a run of 400 ones read as an infinity instead of refused
def test_typed_arguments_are_checked_by_value_not_by_text():
    # No reader answers an infinity: the field software reads 400 ones as one.
    for mode in ["checked", "lenient", "strict"]:
        with pytest.raises(ValueError, match="^(an angle beyond 1e9|too large a number)"):
            fieldkit.parse_angle("1" * 400, mode=mode)
    with pytest.raises(ValueError, match=r"^precision: out of range \(4 to 15\): '-5'$"):
        fieldkit.from_degrees(10.5, "dms", precision=-5)
    with pytest.raises(ValueError, match=r"^precision: out of range \(4 to 15\): '16'$"):
        fieldkit.from_degrees(10.5, "dms", precision=16)
    assert fieldkit.from_degrees(10.5, "dms", precision=4) == pytest.approx(10.3)
    with pytest.raises(ValueError, match=r"^interval: not a number: 'nan'$"):
        fieldkit.parse_station("12+34", interval=math.nan)
    with pytest.raises(ValueError, match=r"^not a number: 'inf'$"):
        fieldkit.feet_inches(math.inf)
