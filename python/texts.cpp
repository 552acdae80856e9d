// Angles, heights, stations, dates and subscriptions as text, typed text read back, and the
// angle and length units.
//
// The texts come from the typed conversions the command-line tool also stands on, so a value
// gives exactly what `fieldkit COMMAND VALUE` prints and a bad one raises ValueError with the
// reason the tool gives. The readers answer the library's value itself, not its printed form,
// so nothing is lost to the tool's decimals.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <cmath>
#include <optional>
#include <string>
#include <vector>

#include "bindings.h"
#include "fieldkit/fieldkit.h"
#include "typed/reading.h"
#include "typed/texts.h"

namespace py = pybind11;
using namespace pybind11::literals;

namespace fieldkit::python {

namespace {

// A number as a message shows it: Python's repr, a whole number without ".0" as a user types
// it, so the reason reads as the tool's for the same value.
std::string Shown(double value) {
    if (std::isfinite(value) && value == std::trunc(value) && std::fabs(value) < 1e15 &&
        !(value == 0 && std::signbit(value)))
        return py::str(py::int_(static_cast<long long>(value))).cast<std::string>();
    return py::repr(py::float_(value)).cast<std::string>();
}

// An argument of a call as a refusal names it: the first (the value converted) by its value
// alone, as the tool does, any other by its name and value.
struct Argument {
    const char* name;
    std::string value;
};

[[noreturn]] void Refuse(const std::string& why, std::size_t argument,
                         std::initializer_list<Argument> arguments) {
    if (argument >= arguments.size()) throw py::value_error(why);
    const Argument& a = arguments.begin()[argument];
    const std::string quoted = typed::Quote(Utf8ToWide(a.value));
    if (argument == 0) throw py::value_error(why + ": " + quoted);
    throw py::value_error(std::string(a.name) + ": " + why + ": " + quoted);
}

// A typed conversion's text, or ValueError naming the argument at fault.
std::string TextOf(const typed::Text& t, std::initializer_list<Argument> arguments) {
    if (!t.ok) Refuse(t.why, t.argument, arguments);
    return t.text;
}

std::wstring Wide(const std::string& text) {
    return Utf8ToWide(text);
}

// ---- Typed angles ---------------------------------------------------------------------------

// The reading mode a call asks for: mode= by name, or strict=True as the older spelling.
typed::Mode ModeArgument(const py::object& mode, bool strict) {
    typed::Mode m = typed::Mode::kChecked;
    if (!mode.is_none() &&
        (!py::isinstance<py::str>(mode) || !typed::ModeNamed(mode.cast<std::string>(), m))) {
        throw py::value_error("mode: 'checked', 'lenient' or 'strict', not " +
                              py::repr(mode).cast<std::string>());
    }
    if (strict) {
        if (!mode.is_none() && m != typed::Mode::kStrict)
            throw py::value_error("strict=True and mode=" + py::repr(mode).cast<std::string>() +
                                  " disagree");
        m = typed::Mode::kStrict;
    }
    return m;
}

// A reading's value, or ValueError with the tool's message for the same text.
double ValueOf(const typed::Reading& r, const std::wstring& text) {
    if (!r.ok) throw py::value_error(typed::Refusal(r, text));
    return r.value;
}

template <typed::Axis axis>
double Parse(const std::string& text, bool strict, const py::object& mode) {
    const std::wstring t = Wide(text);
    return ValueOf(typed::ReadAngle(t, axis, ModeArgument(mode, strict)), t);
}

// ---- Units, elementwise ---------------------------------------------------------------------

// f applied to a number (a float back) or elementwise to an array or sequence of any shape
// (a new float64 array of that shape back).
template <class F>
py::object Map(const py::handle& value, F f) {
    if (py::isinstance<py::float_>(value) || py::isinstance<py::int_>(value))
        return py::float_(f(value.cast<double>()));
    using Array = py::array_t<double, py::array::c_style | py::array::forcecast>;
    const Array in = Array::ensure(value);
    if (!in) throw py::type_error("expected a number or an array of numbers");
    Array out(std::vector<py::ssize_t>(in.shape(), in.shape() + in.ndim()));
    const double* from = in.data();
    double* to = out.mutable_data();
    const py::ssize_t n = in.size();
    {
        py::gil_scoped_release unlocked;
        for (py::ssize_t i = 0; i < n; ++i)
            to[i] = f(from[i]);
    }
    if (in.ndim() == 0) return py::float_(to[0]);
    return std::move(out);
}

using Unary = double (*)(double);

Unary ToDegreesFrom(const std::string& unit) {
    if (unit == "degrees") return [](double v) { return v; };
    if (unit == "radians") return Rad2Deg;
    if (unit == "grads") return Grad2Deg;
    if (unit == "mils") return Mil2Deg;
    if (unit == "dms") return DDDMMSS2Deg;
    throw py::value_error("unknown angle unit '" + unit +
                          "' (degrees, radians, grads, mils or dms)");
}

}  // namespace

void AddTexts(py::module_& m) {
    m.def(
        "lat_to_dms",
        [](double latitude, bool tenths) {
            return TextOf(typed::LatitudeDms(latitude, tenths), {{"latitude", Shown(latitude)}});
        },
        "latitude"_a, "tenths"_a = false,
        R"(Latitude in decimal degrees (-90 to 90, north positive) as degrees, minutes and
seconds with N or S: lat_to_dms(45.5) is '45°30\'00.00000"N'.

The seconds have five decimals; with tenths=True one decimal, cut rather than rounded.
Raises ValueError, with the reason, for a value out of range or not a number.)");

    m.def(
        "lon_to_dms",
        [](double longitude, bool tenths) {
            return TextOf(typed::LongitudeDms(longitude, tenths),
                          {{"longitude", Shown(longitude)}});
        },
        "longitude"_a, "tenths"_a = false,
        R"(Longitude in decimal degrees (-360 to 360, east positive) as degrees, minutes and
seconds with E or W: lon_to_dms(-33.8568, tenths=True) is '33°51\'24.4"W'.

Degrees are not padded and not reduced into one turn. Raises ValueError as lat_to_dms does.)");

    m.def(
        "angle_to_dms",
        [](double angle, int decimals) {
            typed::Seconds seconds = typed::Seconds::kFourDecimals;
            if (decimals == 6)
                seconds = typed::Seconds::kSixDecimals;
            else if (decimals == 0)
                seconds = typed::Seconds::kWhole;
            else if (decimals != 4)
                throw py::value_error("decimals: 4, 6 or 0 (whole seconds), not " +
                                      std::to_string(decimals));
            return TextOf(typed::AngleDms(angle, seconds), {{"angle", Shown(angle)}});
        },
        "angle"_a, "decimals"_a = 4,
        R"(An angle in decimal degrees as signed degrees, minutes and seconds:
angle_to_dms(123.456789) is '123°27\'24.4404"'.

decimals is the number of decimals of the seconds: 4 (the default) or 6; 0 gives whole
seconds (cut) with the degrees padded to three digits.)");

    m.def(
        "bearing",
        [](double azimuth, std::optional<bool> north, std::optional<bool> east) {
            using typed::EastWest;
            using typed::NorthSouth;
            const NorthSouth ns = !north   ? NorthSouth::kFromAzimuth
                                  : *north ? NorthSouth::kNorth
                                           : NorthSouth::kSouth;
            const EastWest ew = !east   ? EastWest::kFromAzimuth
                                : *east ? EastWest::kEast
                                        : EastWest::kWest;
            return TextOf(typed::QuadrantBearing(azimuth, ns, ew), {{"azimuth", Shown(azimuth)}});
        },
        "azimuth"_a, "north"_a = py::none(), "east"_a = py::none(),
        R"(An azimuth in decimal degrees (-360 to 360, clockwise from north) as a quadrant
bearing: bearing(150) is 'S30°00\'0.0000"E'.

The letters come from the azimuth's quadrant. Given as north= or east= (the other one of a
pair left out counts as north or east), they must match it: bearing(150, north=True) raises
ValueError, since 150 lies in the S..E quadrant.)");

    m.def("parse_angle", &Parse<typed::Axis::kAngle>, "text"_a, "strict"_a = false,
          "mode"_a = py::none(),
          R"(An angle as typed, in decimal degrees: '12°30\'15.5"', '12 30', '12:30:15.5',
'12d30m15.5s', '45\'', or a quadrant bearing such as 'S20°00\'00"W' (an azimuth, 200).

mode='checked' (the default) reads what people type and export (the marks also as primes
and typographic quotes) and raises ValueError, with the reason, for whatever could be read
as another number than the text means: no digit, letters other than a bearing's, a decimal
comma ('12,5'), minutes or seconds of 60 or more after degrees, marks out of order.
mode='strict' (or strict=True) reads only the usual way of writing, and the reason names the
offending character and its position. mode='lenient' reads as the field software does:
numbers separated by anything, a minus sign anywhere, text without digits reads as 0. The
values and reasons are those of `fieldkit parse-angle`.)");

    m.def("parse_lat", &Parse<typed::Axis::kNorthSouth>, "text"_a, "strict"_a = false,
          "mode"_a = py::none(),
          R"(A latitude as typed, in decimal degrees, south negative: parse_lat('45°30\'00"S')
is -45.5.

As parse_angle, with one hemisphere letter N or S first or last (or a sign), at most 90
degrees; '453015.5N' is refused (packed DDMMSS?), '45 30 E' too. An s right after a number is
seconds only among d and m units ('45d30m15.5s'). mode='lenient' reads as the field
software does: an S or s anywhere makes the latitude south, '' reads as 0.)");

    m.def("parse_lon", &Parse<typed::Axis::kEastWest>, "text"_a, "strict"_a = false,
          "mode"_a = py::none(),
          R"(A longitude as typed, in decimal degrees, west negative: parse_lon('12°30\'W') is
-12.5.

As parse_lat with E or W, at most 360 degrees (180 in strict mode). mode='lenient' reads as
the field software does: a W or w anywhere makes the longitude west.)");

    m.def(
        "check_dms",
        [](const std::string& value, const std::string& maximum, bool allow_maximum) {
            return CheckValidDMSVal(CString(Wide(value).c_str()), CString(Wide(maximum).c_str()),
                                    allow_maximum);
        },
        "value"_a, "maximum"_a = "360", "allow_maximum"_a = false,
        R"(Whether a typed packed D.MMSS text ('123.4530' is 123°45'30") is acceptable:
minutes and seconds below 60, degrees within maximum (a text, such as '90'), the maximum
itself only with allow_maximum=True and zero minutes and seconds.)");

    m.def(
        "to_degrees",
        [](const py::object& value, const std::string& unit) {
            return Map(value, ToDegreesFrom(unit));
        },
        "value"_a, "unit"_a,
        R"(An angle in unit ('radians', 'grads', 'mils', 'dms' for the packed D.MMSS number,
or 'degrees') as decimal degrees. value is a number or an array of any shape.

Neither reduced into one turn nor rounded; packed D.MMSS minute and second digits of 60 to
99 are taken as they stand (123.0075 is 123° + 75").)");

    m.def(
        "from_degrees",
        [](const py::object& value, const std::string& unit, int precision) -> py::object {
            if (unit == "degrees") return Map(value, [](double v) { return v; });
            if (unit == "radians") return Map(value, Deg2Rad);
            if (unit == "grads") return Map(value, Deg2Grad);
            if (unit == "mils") return Map(value, Deg2Mil);
            if (unit == "dms") {
                const std::string why = typed::WholeProblem(precision, typed::kDmsPrecision);
                if (!why.empty())
                    Refuse(why, 1, {{"value", ""}, {"precision", std::to_string(precision)}});
                return Map(value, [precision](double v) { return Deg2DDDMMSS(v, precision); });
            }
            throw py::value_error("unknown angle unit '" + unit +
                                  "' (degrees, radians, grads, mils or dms)");
        },
        "value"_a, "unit"_a, "precision"_a = 5,
        R"(Decimal degrees as unit ('radians', 'grads', 'mils', 'dms' or 'degrees'); value is a
number or an array of any shape.

As the field software does: radians, grads and mils are reduced into one turn first,
keeping the sign (-90 stays negative), and rounded to 0.00001, too coarse for coordinates
(use to_xyz for positions). 'dms' gives the packed D.MMSS number (10.5 is 10.3), seconds
within 6 / 10**(precision - 3) of 60 carried into the minutes; precision is 4 (whole seconds)
to 15, and any other raises ValueError.)");

    m.def(
        "feet_inches",
        [](double feet, long long denominator) {
            return TextOf(typed::FeetInches(feet, denominator),
                          {{"feet", Shown(feet)}, {"denominator", std::to_string(denominator)}});
        },
        "feet"_a, "denominator"_a = 16,
        R"(Decimal feet as feet and inches to the nearest 1/denominator inch:
feet_inches(5.5) is '5\'6"', feet_inches(5 + 6.25 / 12) is '5\'6 1/4"'.

The fraction is in lowest terms; denominator 0 drops it (0 to 65536).)");

    m.def(
        "parse_height",
        [](const std::string& text, const py::object& mode) {
            const std::wstring t = Wide(text);
            return ValueOf(typed::ReadHeight(t, ModeArgument(mode, false)), t);
        },
        "text"_a, "mode"_a = py::none(),
        R"(A feet-and-inches text such as '5\'6 1/4"' (or a plain number) as decimal feet.

Blanks around the marks and the slash do not matter, inches may have decimals ('5\'6.25"'),
and after a foot mark the inch mark may be left out ('5\'6' is 5.5). A zero denominator,
inches of 12 or more after feet ('5\'13"') and a fraction of a whole inch or more raise
ValueError with the reason, as anything else `fieldkit height` refuses. mode='lenient'
reads as the field software does ('5\'6.25"' is 5.5); 'strict' reads as 'checked'.)");

    m.def(
        "metres_to_feet",
        [](const py::object& metres, bool us) {
            return Map(metres, us ? Meter2USFeet : Meter2IFeet);
        },
        "metres"_a, "us"_a = false,
        R"(Metres as international feet (0.3048 m), or US survey feet (1200/3937 m) with
us=True, rounded to 0.00001 ft. A number or an array of any shape.)");

    m.def(
        "feet_to_metres",
        [](const py::object& feet, bool us) { return Map(feet, us ? USFeet2Meter : IFeet2Meter); },
        "feet"_a, "us"_a = false,
        R"(International feet (or US survey feet with us=True) as metres, unrounded. A number
or an array of any shape.)");

    m.def(
        "station",
        [](double chainage, double interval) {
            return TextOf(typed::StationText(chainage, interval),
                          {{"chainage", Shown(chainage)}, {"interval", Shown(interval)}});
        },
        "chainage"_a, "interval"_a = 100.0,
        R"(A chainage as a road station: whole intervals, '+' and the rest, to 0.01:
station(1234.567) is '12+34.57'. interval is 0.001 to 1e6.)");

    m.def(
        "parse_station",
        [](const std::string& text, double interval, const py::object& mode) {
            const std::wstring t = Wide(text);
            const std::string why = typed::ValueProblem(interval, typed::kStationInterval);
            if (!why.empty()) Refuse(why, 1, {{"text", text}, {"interval", Shown(interval)}});
            return ValueOf(typed::ReadStation(t, interval, ModeArgument(mode, false)), t);
        },
        "text"_a, "interval"_a = 100.0, "mode"_a = py::none(),
        R"(A station such as '12+34.57' (or a plain chainage) as its chainage:
parse_station('12+34.57') is 1234.57, and a station before zero is written with both parts
negative ('-12+-34.50' is -1234.5). ValueError when it is not one, and for what could be
read as another chainage: '-12+34.50' (which the field software reads as -1165.5) and a
remainder of the interval or more. mode='lenient' reads as the field software does;
'strict' reads as 'checked'.)");

    m.def(
        "date_to_count",
        [](const std::string& text) {
            const std::wstring t = Wide(text);
            const typed::Count count = typed::DateCount(t);
            if (!count.ok) Refuse(count.why, 0, {{"text", text}});
            return count.value;
        },
        "text"_a,
        R"(A date 'D.M.YYYY' or 'D.M.YYYY, H:MM' as the handheld's pseudo-minute count
(365-day years, 30-day months, years after 2000 counted from 2000):
date_to_count('01.02.2019, 10:30') is 10074870. ValueError for anything else.)");

    m.def(
        "subscription_end",
        [](long long gps_seconds) {
            return TextOf(typed::SubscriptionEnd(gps_seconds),
                          {{"gps_seconds", std::to_string(gps_seconds)}});
        },
        "gps_seconds"_a,
        R"(The end of a correction-service subscription, given in seconds since the start of
GPS week 0 (6 January 1980), as 'month/day/year': subscription_end(1239019200) is
'4/11/2019'. A moment before 03:00 shows the day before; 0 or less is 'Expired'.)");
}

}  // namespace fieldkit::python
