// Angles, heights, stations, dates and subscriptions as text, typed text read back, and the
// angle and length units, on single values and on arrays of any shape.
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

#include "arrays.h"
#include "bindings.h"
#include "fieldkit/fieldkit.h"
#include "signature.h"
#include "text_arrays.h"
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

// The message for a refusal about argument `argument` of `arguments`.
std::string Reason(const std::string& why, std::size_t argument,
                   std::initializer_list<Argument> arguments) {
    if (argument >= arguments.size()) return why;
    const Argument& a = arguments.begin()[argument];
    const std::string quoted = typed::Quote(Utf8ToWide(a.value));
    if (argument == 0) return why + ": " + quoted;
    return std::string(a.name) + ": " + why + ": " + quoted;
}

[[noreturn]] void Refuse(const std::string& why, std::size_t argument,
                         std::initializer_list<Argument> arguments) {
    throw py::value_error(Reason(why, argument, arguments));
}

// How a text function's refusal of a value reads: its reason and the value.
auto DescribedAs(const char* name) {
    return [name](const typed::Text& t, double value) {
        return Reason(t.why, t.argument, {{name, Shown(value)}});
    };
}

// A refused text: its reason and the text, as the tool gives it.
std::string Refused(const typed::Reading& r, const std::wstring& text) {
    return typed::Refusal(r, text);
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

// ---- Units, elementwise ---------------------------------------------------------------------

// f applied to every number of `value` (a number gives a float, an array a float64 array of
// its shape; masks kept), on up to `threads` threads.
template <class F>
py::object Map(const py::handle& value, const char* argument, const py::handle& threads, F f) {
    const unsigned workers = ReadThreads(threads);
    const Broadcast in({{value, argument}});
    py::array_t<double> out = in.NewResult();
    double* to = out.mutable_data();
    ParallelFor(in.size(), workers, [&](py::ssize_t begin, py::ssize_t end) {
        for (py::ssize_t i = begin; i < end; ++i)
            to[i] = in.masked(i) ? std::numeric_limits<double>::quiet_NaN() : f(in.at(0, i));
    });
    return in.Finish(out);
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
    const auto threadsArg = "threads"_a = py::none();

    Def(
        m, "lat_to_dms",
        [](const py::object& latitude, bool tenths, const py::object& threads) {
            return NumbersToTexts(
                latitude, "latitude", threads,
                [tenths](double v) { return typed::LatitudeDms(v, tenths); },
                DescribedAs("latitude"));
        },
        R"(Latitude in decimal degrees (-90 to 90, north positive) as degrees, minutes and
seconds with N or S: lat_to_dms(45.5) is '45°30\'00.00000"N'.

The seconds have five decimals; with tenths=True one decimal, cut rather than rounded.
latitude is a number (a str back) or an array of any shape (a numpy array of str of that
shape back; masked elements stay masked); large arrays are split over `threads` threads
(default: every core), with the same texts on any number. Raises ValueError, with the
reason (and the index in an array), for a value out of range or not a number.)",
        "latitude"_a, "tenths"_a = false, threadsArg);

    Def(
        m, "lon_to_dms",
        [](const py::object& longitude, bool tenths, const py::object& threads) {
            return NumbersToTexts(
                longitude, "longitude", threads,
                [tenths](double v) { return typed::LongitudeDms(v, tenths); },
                DescribedAs("longitude"));
        },
        R"(Longitude in decimal degrees (-360 to 360, east positive) as degrees, minutes and
seconds with E or W: lon_to_dms(-33.8568, tenths=True) is '33°51\'24.4"W'.

Degrees are not padded and not reduced into one turn. Numbers, arrays and errors as for
lat_to_dms.)",
        "longitude"_a, "tenths"_a = false, threadsArg);

    Def(
        m, "angle_to_dms",
        [](const py::object& angle, int decimals, const py::object& threads) {
            typed::Seconds seconds = typed::Seconds::kFourDecimals;
            if (decimals == 6)
                seconds = typed::Seconds::kSixDecimals;
            else if (decimals == 0)
                seconds = typed::Seconds::kWhole;
            else if (decimals != 4)
                throw py::value_error("decimals: 4, 6 or 0 (whole seconds), not " +
                                      std::to_string(decimals));
            return NumbersToTexts(
                angle, "angle", threads,
                [seconds](double v) { return typed::AngleDms(v, seconds); }, DescribedAs("angle"));
        },
        R"(An angle in decimal degrees as signed degrees, minutes and seconds:
angle_to_dms(123.456789) is '123°27\'24.4404"'.

decimals is the number of decimals of the seconds: 4 (the default) or 6; 0 gives whole
seconds (cut) with the degrees padded to three digits. Numbers, arrays and errors as for
lat_to_dms.)",
        "angle"_a, "decimals"_a = 4, threadsArg);

    Def(
        m, "bearing",
        [](const py::object& azimuth, std::optional<bool> north, std::optional<bool> east,
           const py::object& threads) {
            using typed::EastWest;
            using typed::NorthSouth;
            const NorthSouth ns = !north   ? NorthSouth::kFromAzimuth
                                  : *north ? NorthSouth::kNorth
                                           : NorthSouth::kSouth;
            const EastWest ew = !east   ? EastWest::kFromAzimuth
                                : *east ? EastWest::kEast
                                        : EastWest::kWest;
            return NumbersToTexts(
                azimuth, "azimuth", threads,
                [ns, ew](double v) { return typed::QuadrantBearing(v, ns, ew); },
                DescribedAs("azimuth"));
        },
        R"(An azimuth in decimal degrees (-360 to 360, clockwise from north) as a quadrant
bearing: bearing(150) is 'S30°00\'0.0000"E'.

The letters come from the azimuth's quadrant. Given as north= or east= (the other one of a
pair left out counts as north or east), they must match it: bearing(150, north=True) raises
ValueError, since 150 lies in the S..E quadrant. Numbers, arrays and errors as for
lat_to_dms.)",
        "azimuth"_a, "north"_a = py::none(), "east"_a = py::none(), threadsArg);

    const auto errorsArg = "errors"_a = py::none();
    const auto parse = [&m, &threadsArg, &errorsArg](const char* name, typed::Axis axis,
                                                     const char* doc) {
        Def(
            m, name,
            [axis](const py::object& text, bool strict, const py::object& mode,
                   const py::object& errors, const py::object& threads) {
                const typed::Mode reading = ModeArgument(mode, strict);
                return TextsToNumbers(
                    text, "text", errors, threads,
                    [axis, reading](const std::wstring& t) {
                        return typed::ReadAngle(t, axis, reading);
                    },
                    Refused);
            },
            doc, "text"_a, "strict"_a = false, "mode"_a = py::none(), errorsArg, threadsArg);
    };
    parse("parse_angle", typed::Axis::kAngle,
          R"(An angle as typed, in decimal degrees: '12°30\'15.5"', '12 30', '12:30:15.5',
'12d30m15.5s', '45\'', or a quadrant bearing such as 'S20°00\'00"W' (an azimuth, 200).

mode='checked' (the default) reads what people type and export (the marks also as primes
and typographic quotes) and refuses, with the reason, whatever could be read as another
number than the text means: no digit, letters other than a bearing's, a decimal comma
('12,5'), minutes or seconds of 60 or more after degrees, marks out of order.
mode='strict' (or strict=True) reads only the usual way of writing, and the reason names the
offending character and its position. mode='lenient' reads as the field software does:
numbers separated by anything, a minus sign anywhere, text without digits reads as 0. The
values and reasons are those of `fieldkit parse-angle`.

text is a str (a float back) or an array or sequence of str of any shape (numpy str or object
arrays, lists, pandas columns: a float64 array of that shape back; None and NaN elements are
missing, masked elements stay masked). A refused text raises ValueError with the reason
(errors='raise', the default for one text); in an array it gives NaN (errors='nan', the
default there), or with errors='raise' the ValueError names its index, the text and the
reason. Large arrays are split over `threads` threads (default: every core).)");
    parse("parse_lat", typed::Axis::kNorthSouth,
          R"(A latitude as typed, in decimal degrees, south negative: parse_lat('45°30\'00"S')
is -45.5.

As parse_angle, with one hemisphere letter N or S first or last (or a sign), at most 90
degrees; '453015.5N' is refused (packed DDMMSS?), '45 30 E' too. An s right after a number is
seconds only among d and m units ('45d30m15.5s'). mode='lenient' reads as the field
software does: an S or s anywhere makes the latitude south, '' reads as 0. Texts, arrays,
errors and threads as for parse_angle.)");
    parse("parse_lon", typed::Axis::kEastWest,
          R"(A longitude as typed, in decimal degrees, west negative: parse_lon('12°30\'W') is
-12.5.

As parse_lat with E or W, at most 360 degrees (180 in strict mode). mode='lenient' reads as
the field software does: a W or w anywhere makes the longitude west. Texts, arrays, errors
and threads as for parse_angle.)");

    Def(
        m, "check_dms",
        [](const py::object& value, const std::string& maximum, bool allow_maximum,
           const py::object& threads) {
            const CString max(Wide(maximum).c_str());
            return TextsToFlags(value, "value", threads, [&](const std::wstring& text) {
                return CheckValidDMSVal(CString(text), max, allow_maximum);
            });
        },
        R"(Whether a typed packed D.MMSS text ('123.4530' is 123°45'30") is acceptable:
minutes and seconds below 60, degrees within maximum (a text, such as '90'), the maximum
itself only with allow_maximum=True and zero minutes and seconds. value is a text (a bool
back) or an array or sequence of texts of any shape (a bool array of that shape back; a
missing text is not acceptable, masks are kept; large arrays split over `threads` threads,
default every core).)",
        "value"_a, "maximum"_a = "360", "allow_maximum"_a = false, threadsArg);

    Def(
        m, "to_degrees",
        [](const py::object& value, const std::string& unit, const py::object& threads) {
            return Map(value, "value", threads, ToDegreesFrom(unit));
        },
        R"(An angle in unit ('radians', 'grads', 'mils', 'dms' for the packed D.MMSS number,
or 'degrees') as decimal degrees. value is a number or an array of any shape (masks kept;
large arrays split over `threads` threads, default every core).

Neither reduced into one turn nor rounded; packed D.MMSS minute and second digits of 60 to
99 are taken as they stand (123.0075 is 123° + 75").)",
        "value"_a, "unit"_a, threadsArg);

    Def(
        m, "from_degrees",
        [](const py::object& value, const std::string& unit, int precision,
           const py::object& threads) -> py::object {
            if (unit == "degrees") return Map(value, "value", threads, [](double v) { return v; });
            if (unit == "radians") return Map(value, "value", threads, Deg2Rad);
            if (unit == "grads") return Map(value, "value", threads, Deg2Grad);
            if (unit == "mils") return Map(value, "value", threads, Deg2Mil);
            if (unit == "dms") {
                const std::string why = typed::WholeProblem(precision, typed::kDmsPrecision);
                if (!why.empty())
                    Refuse(why, 1, {{"value", ""}, {"precision", std::to_string(precision)}});
                return Map(value, "value", threads,
                           [precision](double v) { return Deg2DDDMMSS(v, precision); });
            }
            throw py::value_error("unknown angle unit '" + unit +
                                  "' (degrees, radians, grads, mils or dms)");
        },
        R"(Decimal degrees as unit ('radians', 'grads', 'mils', 'dms' or 'degrees'); value is a
number or an array of any shape (masks kept; large arrays split over `threads` threads,
default every core).

As the field software does: radians, grads and mils are reduced into one turn first,
keeping the sign (-90 stays negative), and rounded to 0.00001, too coarse for coordinates
(use to_xyz for positions). 'dms' gives the packed D.MMSS number (10.5 is 10.3), seconds
within 6 / 10**(precision - 3) of 60 carried into the minutes; precision is 4 (whole seconds)
to 15, and any other raises ValueError.)",
        "value"_a, "unit"_a, "precision"_a = 5, threadsArg);

    Def(
        m, "feet_inches",
        [](const py::object& feet, long long denominator, const py::object& threads) {
            const std::string why = typed::WholeProblem(denominator, typed::kFeetInchDenominator);
            if (!why.empty())
                Refuse(why, 1, {{"feet", ""}, {"denominator", std::to_string(denominator)}});
            return NumbersToTexts(
                feet, "feet", threads,
                [denominator](double v) { return typed::FeetInches(v, denominator); },
                DescribedAs("feet"));
        },
        R"(Decimal feet as feet and inches to the nearest 1/denominator inch:
feet_inches(5.5) is '5\'6"', feet_inches(5 + 6.25 / 12) is '5\'6 1/4"'.

The fraction is in lowest terms; denominator 0 drops it (0 to 65536). Numbers, arrays and
errors as for lat_to_dms.)",
        "feet"_a, "denominator"_a = 16, threadsArg);

    Def(
        m, "parse_height",
        [](const py::object& text, const py::object& mode, const py::object& errors,
           const py::object& threads) {
            const typed::Mode reading = ModeArgument(mode, false);
            return TextsToNumbers(
                text, "text", errors, threads,
                [reading](const std::wstring& t) { return typed::ReadHeight(t, reading); },
                Refused);
        },
        R"(A feet-and-inches text such as '5\'6 1/4"' (or a plain number) as decimal feet.

Blanks around the marks and the slash do not matter, inches may have decimals ('5\'6.25"'),
and after a foot mark the inch mark may be left out ('5\'6' is 5.5). A zero denominator,
inches of 12 or more after feet ('5\'13"') and a fraction of a whole inch or more are
refused with the reason, as anything else `fieldkit height` refuses. mode='lenient'
reads as the field software does ('5\'6.25"' is 5.5); 'strict' reads as 'checked'. Texts,
arrays, errors and threads as for parse_angle.)",
        "text"_a, "mode"_a = py::none(), errorsArg, threadsArg);

    Def(
        m, "metres_to_feet",
        [](const py::object& metres, bool us, const py::object& threads) {
            return Map(metres, "metres", threads, us ? Meter2USFeet : Meter2IFeet);
        },
        R"(Metres as international feet (0.3048 m), or US survey feet (1200/3937 m) with
us=True, rounded to 0.00001 ft. A number or an array of any shape (masks kept; large arrays
split over `threads` threads, default every core).)",
        "metres"_a, "us"_a = false, threadsArg);

    Def(
        m, "feet_to_metres",
        [](const py::object& feet, bool us, const py::object& threads) {
            return Map(feet, "feet", threads, us ? USFeet2Meter : IFeet2Meter);
        },
        R"(International feet (or US survey feet with us=True) as metres, unrounded. A number
or an array of any shape, as for metres_to_feet.)",
        "feet"_a, "us"_a = false, threadsArg);

    Def(
        m, "station",
        [](const py::object& chainage, double interval, const py::object& threads) {
            const std::string why = typed::ValueProblem(interval, typed::kStationInterval);
            if (!why.empty()) Refuse(why, 1, {{"chainage", ""}, {"interval", Shown(interval)}});
            return NumbersToTexts(
                chainage, "chainage", threads,
                [interval](double v) { return typed::StationText(v, interval); },
                DescribedAs("chainage"));
        },
        R"(A chainage as a road station: whole intervals, '+' and the rest, to 0.01:
station(1234.567) is '12+34.57'. interval is 0.001 to 1e6. Numbers, arrays and errors as
for lat_to_dms.)",
        "chainage"_a, "interval"_a = 100.0, threadsArg);

    Def(
        m, "parse_station",
        [](const py::object& text, double interval, const py::object& mode,
           const py::object& errors, const py::object& threads) {
            const std::string why = typed::ValueProblem(interval, typed::kStationInterval);
            if (!why.empty()) Refuse(why, 1, {{"text", ""}, {"interval", Shown(interval)}});
            const typed::Mode reading = ModeArgument(mode, false);
            return TextsToNumbers(
                text, "text", errors, threads,
                [interval, reading](const std::wstring& t) {
                    return typed::ReadStation(t, interval, reading);
                },
                Refused);
        },
        R"(A station such as '12+34.57' (or a plain chainage) as its chainage:
parse_station('12+34.57') is 1234.57, and a station before zero is written with both parts
negative ('-12+-34.50' is -1234.5). Refused when it is not one, and for what could be read
as another chainage: '-12+34.50' (which the field software reads as -1165.5) and a
remainder of the interval or more. mode='lenient' reads as the field software does;
'strict' reads as 'checked'. Texts, arrays, errors and threads as for parse_angle.)",
        "text"_a, "interval"_a = 100.0, "mode"_a = py::none(), errorsArg, threadsArg);

    Def(
        m, "date_to_count",
        [](const py::object& text, const py::object& errors,
           const py::object& threads) -> py::object {
            // One text gives an int, as the count is; an array float64, where NaN can stand
            // for a refused text (every count fits a float64 exactly).
            const auto count = [](const std::wstring& t) {
                const typed::Count c = typed::DateCount(t);
                typed::Number n;
                n.ok = c.ok;
                n.value = static_cast<double>(c.value);
                n.why = c.why;
                return n;
            };
            const auto why = [](const typed::Number& n, const std::wstring& t) {
                return Reason(n.why, 0, {{"text", WideToUtf8(t)}});
            };
            const py::object counts = TextsToNumbers(text, "text", errors, threads, count, why);
            if (py::isinstance<py::float_>(counts))
                return py::int_(static_cast<long long>(counts.cast<double>()));
            return counts;
        },
        R"(A date 'D.M.YYYY' or 'D.M.YYYY, H:MM' as the handheld's pseudo-minute count
(365-day years, 30-day months, years after 2000 counted from 2000):
date_to_count('01.02.2019, 10:30') is 10074870. One text gives an int (ValueError for
anything else); an array or sequence of texts gives a float64 array of counts, with texts,
arrays, errors and threads as for parse_angle.)",
        "text"_a, errorsArg, threadsArg);

    Def(
        m, "subscription_end",
        [](const py::object& gpsSeconds, const py::object& threads) {
            return NumbersToTexts(
                gpsSeconds, "gps_seconds", threads,
                [](double v) {
                    // Whole seconds only: a fraction would be cut without a word.
                    if (!(v == std::trunc(v)) || !(std::fabs(v) <= typed::kGpsSeconds.hi)) {
                        typed::Text refused;
                        refused.why = std::isfinite(v) && v == std::trunc(v)
                                          ? typed::ValueProblem(v, typed::kGpsSeconds)
                                          : "not a whole number";
                        return refused;
                    }
                    return typed::SubscriptionEnd(static_cast<long long>(v));
                },
                DescribedAs("gps_seconds"));
        },
        R"(The end of a correction-service subscription, given in seconds since the start of
GPS week 0 (6 January 1980), as 'month/day/year': subscription_end(1239019200) is
'4/11/2019'. A moment before 03:00 shows the day before; 0 or less is 'Expired'. Numbers,
arrays and errors as for lat_to_dms; the seconds must be whole.)",
        "gps_seconds"_a, threadsArg);
}

}  // namespace fieldkit::python
