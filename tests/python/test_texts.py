"""Texts out and typed text in: the same texts and reasons as the fieldkit tool, and the
library's values to the last bit."""

import math

import numpy as np
import pytest

import fieldkit

# Values that reach every branch of the formatters: carries into the next minute and degree,
# negative zero, tiny and whole values.
LATITUDES = [45.5, -12.3456789, 0.0, -0.0, 89.99999999, -33.8568, 1e-9, 90, -90]
ANGLES = [123.456789, -0.0000001, 359.99999999999, -720.25, 0.5]

# (python call, tool command and options, values fed to the tool)
TEXT_CASES = [
    (fieldkit.lat_to_dms, ["lat"], LATITUDES),
    (lambda v: fieldkit.lat_to_dms(v, tenths=True), ["lat", "--tenths"], LATITUDES),
    (fieldkit.lon_to_dms, ["lon"], LATITUDES + [151.2093, -359.5]),
    (lambda v: fieldkit.lon_to_dms(v, tenths=True), ["lon", "--tenths"], [-33.8568, 200.04]),
    (fieldkit.angle_to_dms, ["angle"], ANGLES),
    (lambda v: fieldkit.angle_to_dms(v, decimals=6), ["angle", "--six"], ANGLES),
    (lambda v: fieldkit.angle_to_dms(v, decimals=0), ["angle", "--whole"], ANGLES),
    (fieldkit.bearing, ["bearing"], [0, 45, 90, 150, 200.5, 270, 315, -30, 360]),
    (lambda v: fieldkit.bearing(v, north=False, east=False), ["bearing", "--south", "--west"],
     [200.5, 269.9]),
    (lambda v: fieldkit.bearing(v, east=False), ["bearing", "--west"], [315, 270.000001]),
    (fieldkit.feet_inches, ["height", "--ft-in", "16"], [5.5, 5 + 6.25 / 12, -5.5, 0, 1 / 48]),
    (lambda v: fieldkit.feet_inches(v, 0), ["height", "--ft-in", "0"], [5.52, 0.99]),
    (fieldkit.station, ["station"], [1234.567, -1165.5, 0, 99.999]),
    (lambda v: fieldkit.station(v, interval=1000), ["station", "--interval", "1000"], [1234.567]),
    (fieldkit.subscription_end, ["subscription"], [1239019200, 0, -5, 1239010000]),
]


@pytest.mark.parametrize("call, command, values", TEXT_CASES)
def test_texts_are_the_tools(tool, call, command, values):
    status, out, err = tool(*command, "-", input=[repr(v) for v in values])
    assert (status, err) == (0, "")
    assert [call(v) for v in values] == out.splitlines()


def test_worked_examples():
    assert fieldkit.lat_to_dms(45.5) == "45°30'00.00000\"N"
    assert fieldkit.lon_to_dms(-33.8568, tenths=True) == "33°51'24.4\"W"  # cut, not rounded
    assert fieldkit.angle_to_dms(123.456789) == "123°27'24.4404\""
    assert fieldkit.bearing(150) == "S30°00'0.0000\"E"
    assert fieldkit.feet_inches(5 + 6.25 / 12) == "5'6 1/4\""
    assert fieldkit.station(1234.567) == "12+34.57"
    assert fieldkit.date_to_count("01.02.2019, 10:30") == 10074870
    assert fieldkit.subscription_end(1239019200) == "4/11/2019"


# (python call, tool command line): both refuse, the tool's reason is the exception's text.
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
    (lambda: fieldkit.date_to_count("32.1.2019"), ["date", "32.1.2019"]),
    (lambda: fieldkit.date_to_count("1.2.7000"), ["date", "1.2.7000"]),
]


@pytest.mark.parametrize("call, command", REFUSED)
def test_refusals_give_the_tools_reason(tool, call, command):
    status, out, err = tool(*command)
    assert status == 2 and out == ""
    prefix = f"fieldkit: {command[0]}: "
    assert err.startswith(prefix)
    with pytest.raises(ValueError) as raised:
        call()
    assert str(raised.value) == err[len(prefix):].rstrip("\n")


def test_option_values_are_checked_as_the_tool_checks_them():
    with pytest.raises(ValueError, match=r"^denominator: out of range \(0 to 65536\): '-1'$"):
        fieldkit.feet_inches(5.5, -1)
    with pytest.raises(ValueError, match=r"^interval: out of range"):
        fieldkit.station(100, interval=0)
    with pytest.raises(ValueError, match="4, 6 or 0"):
        fieldkit.angle_to_dms(1.0, decimals=5)


def test_readers_answer_the_librarys_value(tool):
    texts = ["5'6 1/4\"", "-5'6\"", "1/4\"", "7'", "5' 6", "12.75"]
    status, out, _ = tool("height", "-p", "15", "-", input=texts)
    assert status == 0
    assert [f"{fieldkit.parse_height(t):.15f}" for t in texts] == out.splitlines()
    assert fieldkit.parse_height("5'6 1/4\"") == 5 + 6.25 / 12
    assert fieldkit.parse_station("12+34.57") == 1234.57
    assert fieldkit.parse_station("1234.5") == 1234.5
    assert fieldkit.parse_station("1+234.5", interval=1000) == 1234.5


# Texts for every reading mode: what people type and export, slips, and what the field
# software reads leniently.
READINGS = [
    (fieldkit.parse_angle, "parse-angle",
     ["12°30'15.5\"", "-12°30'15.5\"", "12 30", "45'", "12°30.5'", "12.5°30'", "12,5", "1e2",
      "1E2", "abc", "", "N30°00'00\"E", "S20°00'00\"W", "n30e", "s30e", "S5E", "N100E",
      "123.4530", "12:30:15.5", "12d30m15.5s", "75'", "30'15\"", "1 2 3 4", "12°61'", "12''30"]),
    (fieldkit.parse_lat, "parse-lat",
     ["45°30'00\"S", "45.5s", "-45°30'S", "N 12 30", "N/A", "45d30m15.5s", "45d30m15.5s S",
      "45d30m15.5S", "45 30 15.5 W", "45°30'15.5\"E", "453015.5N", "4530.25N", "91", "45,5",
      "\u221245.5", "45°30′15.5″S", "PT101 45 30 15.5 N", "N45S", "45 30 X", "12\x1b"]),
    (fieldkit.parse_lon, "parse-lon",
     ["12°30'W", "151°12'33.48\"E", "w 5", "400", "190", "E12W", "12°30\"15'", "45 30 N"]),
]
MODE_OPTIONS = {"checked": [], "lenient": ["--lenient"], "strict": ["--strict"]}


def same_as_the_tool(tool, command, options, text, read):
    """read(text) gives the tool's value, or raises ValueError with the tool's reason."""
    status, out, err = tool(command, *options, "-p", "15", "--", text)
    if status == 0:
        assert f"{read():.15f}".replace("-0.000000000000000", "0.000000000000000") == \
            out.strip(), text
        return
    assert status == 2 and out == "", text
    with pytest.raises(ValueError) as raised:
        read()
    assert f"fieldkit: {command}: {raised.value}\n" == err


@pytest.mark.parametrize("mode", ["checked", "lenient", "strict"])
@pytest.mark.parametrize("parse, command, texts", READINGS)
def test_readers_give_the_tools_values_and_reasons(tool, parse, command, texts, mode):
    for text in texts:
        same_as_the_tool(tool, command, MODE_OPTIONS[mode], text,
                         lambda: parse(text, mode=mode))


@pytest.mark.parametrize("mode", ["checked", "lenient"])
def test_heights_and_stations_give_the_tools_values_and_reasons(tool, mode):
    for text in ["5'6 1/4\"", "5'6.25\"", "5'13\"", "5'6 1/0\"", "abc", "5′6″", "12.75"]:
        same_as_the_tool(tool, "height", MODE_OPTIONS[mode], text,
                         lambda: fieldkit.parse_height(text, mode=mode))
    for text in ["12+34.57", "-12+34.50", "-12+-34.50", "12+100", "12+34abc", "0+-34.5"]:
        same_as_the_tool(tool, "station", MODE_OPTIONS[mode], text,
                         lambda: fieldkit.parse_station(text, mode=mode))


def test_parsed_values():
    assert fieldkit.parse_angle("12°30'15.5\"") == pytest.approx(12 + 30 / 60 + 15.5 / 3600,
                                                                 abs=1e-15)
    assert fieldkit.parse_angle("S20°00'00\"W") == 200
    assert fieldkit.parse_lat("45d30m15.5s S") == pytest.approx(-(45 + 30 / 60 + 15.5 / 3600))
    assert fieldkit.parse_lat("-45°30'S", mode="lenient") == 45.5  # two negations
    assert fieldkit.parse_angle("abc", mode="lenient") == fieldkit.parse_angle("", mode="lenient") == 0
    assert fieldkit.parse_height("5'6.25\"") == 5 + 6.25 / 12
    assert fieldkit.parse_station("-12+-34.50") == -1234.5
    # Refused by the readers themselves, not only as the tool refuses: the comparisons with the
    # tool above cannot see a fault the two share.
    with pytest.raises(ValueError, match=r"^a negative station with an unsigned remainder"):
        fieldkit.parse_station("-12+34.50")
    assert fieldkit.parse_station("-12+34.50", mode="lenient") == -1165.5
    with pytest.raises(ValueError, match=r"^E or W in a latitude \('W' at character 12\)"):
        fieldkit.parse_lat("45 30 15.5 W")
    with pytest.raises(ValueError, match=r"^inches of 12 or more after feet"):
        fieldkit.parse_height("5'13\"")
    with pytest.raises(ValueError, match=r"^no digit: 'N/A'$"):
        fieldkit.parse_lat("N/A")
    # strict=True is the older spelling of mode="strict".
    with pytest.raises(ValueError, match="'d' at character 3"):
        fieldkit.parse_lat("45d30m15.5s", strict=True)
    assert fieldkit.parse_lat("45°30'S", True, mode="strict") == -45.5


def test_modes_are_checked():
    with pytest.raises(ValueError, match="^mode: 'checked', 'lenient' or 'strict', not 'loose'$"):
        fieldkit.parse_angle("1", mode="loose")
    with pytest.raises(ValueError, match="^strict=True and mode='lenient' disagree$"):
        fieldkit.parse_lat("1", strict=True, mode="lenient")
    with pytest.raises(ValueError, match="not 1"):
        fieldkit.parse_height("1", mode=1)


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
