// Geodetic positions to earth-centred X, Y, Z and back, on numbers and on numpy arrays of any
// shape. The arrays are broadcast against each other and walked once, without the GIL.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <cmath>
#include <mutex>
#include <string>
#include <vector>

#include "arrays.h"
#include "bindings.h"
#include "fieldkit/angles/angle_units.h"
#include "fieldkit/angles/geodetic.h"
#include "signature.h"

namespace py = pybind11;
using namespace pybind11::literals;

namespace fieldkit::python {

namespace {

using fieldkit::DegreesToRadians;
using fieldkit::RadiansToDegrees;

constexpr double kMaxHeight = 100000.0;

// Each converts one point into out[0..2] and returns kGood, or which argument (0, 1, 2) has no
// result, or kPoint when the three are each fine but together have none.
constexpr int kGood = -1;
constexpr int kPoint = 3;

// Positions convert exactly (Deg2Rad rounds to 0.00001 rad, some 32 m on the ground).
int Forward(double lat, double lon, double h, double* out) {
    if (!(std::fabs(lat) <= 90)) return 0;
    if (!std::isfinite(lon)) return 1;
    if (!(std::fabs(h) <= kMaxHeight)) return 2;
    return TBLH_To_XYZ(DegreesToRadians(lat), DegreesToRadians(lon), h, out[0], out[1], out[2])
               ? kGood
               : kPoint;
}

int Inverse(double x, double y, double z, double* out) {
    if (!std::isfinite(x)) return 0;
    if (!std::isfinite(y)) return 1;
    if (!std::isfinite(z)) return 2;
    double b = 0, l = 0, h = 0;
    if (!TXYZ_To_BLH(x, y, z, b, l, h)) return kPoint;
    out[0] = RadiansToDegrees(b);
    out[1] = RadiansToDegrees(l);
    out[2] = h;
    return kGood;
}

// What a conversion takes and why it refuses a point: per argument, then for the whole point.
struct Conversion {
    const char* names[3];
    const char* refusals[4];
};

const Conversion kForward = {
    {"lat", "lon", "h"},
    {"no X, Y, Z for a latitude beyond 90 degrees", "no X, Y, Z for a longitude that is not finite",
     "no X, Y, Z for a height beyond 100 km", "no X, Y, Z for this point"}};

const Conversion kInverse = {
    {"x", "y", "z"},
    {"no latitude, longitude and height for a coordinate that is not finite",
     "no latitude, longitude and height for a coordinate that is not finite",
     "no latitude, longitude and height for a coordinate that is not finite",
     "no latitude, longitude and height for a point more than about 7071 km from the centre"}};

enum class Errors { kNaN, kRaise };

Errors ReadErrors(const py::handle& errors) {
    if (py::isinstance<py::str>(errors)) {
        const std::string text = py::str(errors);
        if (text == "nan") return Errors::kNaN;
        if (text == "raise") return Errors::kRaise;
    }
    throw py::value_error("errors: 'nan' or 'raise', not " + py::repr(errors).cast<std::string>());
}

std::string Repr(double value) {
    return py::repr(py::float_(value));
}

// Converts every point of the broadcast inputs into a named tuple of three results. The
// point function is a template argument so that the loop can inline it.
template <int (*point)(double, double, double, double*)>
py::object Convert(const Conversion& how, const py::object& tuple, const py::object& a,
                   const py::object& b, const py::object& c, const py::handle& errors,
                   const py::handle& threads) {
    const Errors mode = ReadErrors(errors);
    const unsigned count = ReadThreads(threads);
    const Broadcast in({{a, how.names[0]}, {b, how.names[1]}, {c, how.names[2]}});
    py::array_t<double> out[3] = {in.NewResult(), in.NewResult(), in.NewResult()};
    double* to[3] = {out[0].mutable_data(), out[1].mutable_data(), out[2].mutable_data()};
    const py::ssize_t n = in.size();
    // The first point without a result, whichever run of points finds it.
    py::ssize_t firstBad = n;
    int badArgument = kGood;
    std::mutex bad;
    ParallelFor(n, count, [&](py::ssize_t begin, py::ssize_t end) {
        const double* from[3] = {in.data(0), in.data(1), in.data(2)};
        const py::ssize_t step[3] = {in.step(0), in.step(1), in.step(2)};
        const double nan = std::nan("");
        py::ssize_t runBad = end;
        int runArgument = kGood;
        for (py::ssize_t i = begin; i < end; ++i) {
            double r[3] = {nan, nan, nan};
            if (!in.masked(i)) {
                const int refused =
                    point(from[0][i * step[0]], from[1][i * step[1]], from[2][i * step[2]], r);
                if (refused != kGood) {
                    r[0] = r[1] = r[2] = nan;
                    if (runBad == end) {
                        runBad = i;
                        runArgument = refused;
                    }
                    if (mode == Errors::kRaise) break;
                }
            }
            to[0][i] = r[0];
            to[1][i] = r[1];
            to[2][i] = r[2];
        }
        if (runBad == end) return;
        const std::lock_guard<std::mutex> lock(bad);
        if (runBad < firstBad) {
            firstBad = runBad;
            badArgument = runArgument;
        }
    });
    if (firstBad < n && mode == Errors::kRaise) {
        const py::ssize_t i = firstBad;
        const int which = badArgument;
        const std::string where =
            in.shape().empty()
                ? std::string()
                : " at index " + py::repr(py::module_::import("numpy").attr("unravel_index")(
                                              i, out[0].attr("shape")))
                                     .cast<std::string>();
        const std::string name =
            which == kPoint ? std::string(how.names[0]) + ", " + how.names[1] + ", " + how.names[2]
                            : std::string(how.names[which]) + " = " +
                                  Repr(in.at(static_cast<std::size_t>(which), i));
        throw py::value_error(name + ": " + how.refusals[which] + where + ": (" +
                              Repr(in.at(0, i)) + ", " + Repr(in.at(1, i)) + ", " +
                              Repr(in.at(2, i)) + ")");
    }
    return tuple(in.Finish(out[0]), in.Finish(out[1]), in.Finish(out[2]));
}

}  // namespace

void AddGeodetic(py::module_& m) {
    // Named tuples that pickle: they belong to the package, which re-exports them.
    const py::object namedtuple = py::module_::import("collections").attr("namedtuple");
    const py::object xyz =
        namedtuple("XYZ", py::make_tuple("x", "y", "z"), "module"_a = "fieldkit");
    const py::object blh =
        namedtuple("BLH", py::make_tuple("lat", "lon", "h"), "module"_a = "fieldkit");
    xyz.attr("__doc__") = "Earth-centred, earth-fixed x, y, z in metres.";
    blh.attr("__doc__") = "Latitude and longitude in decimal degrees, height in metres.";
    m.attr("XYZ") = xyz;
    m.attr("BLH") = blh;

    Def(
        m, "to_xyz",
        [xyz](const py::object& lat, const py::object& lon, const py::object& h,
              const py::object& errors, const py::object& threads) {
            return Convert<Forward>(kForward, xyz, lat, lon, h, errors, threads);
        },
        R"(Latitude and longitude in decimal degrees and ellipsoidal height in metres on WGS 84
as earth-centred, earth-fixed XYZ(x, y, z) in metres.

Each input is a number or an array of any shape (numpy arrays and scalars of int and float
dtypes, nested lists, anything with __array__); they are broadcast against each other as
numpy does. Numbers give three floats, arrays three float64 arrays of the broadcast shape;
masked arrays give masked arrays, their masked points left out. None, strings, complex and
boolean values raise TypeError. A point outside the accepted range (latitude -90 to 90,
height -100000 to 100000 m, any finite longitude) gives NaN in all three; with
errors='raise' it raises ValueError instead, naming the argument, index and point of the
first. threads: None for every core, or how many threads to use at most; the results are
the same either way.)",
        "lat"_a, "lon"_a, "h"_a = 0.0, "errors"_a = "nan", "threads"_a = py::none());

    Def(
        m, "to_blh",
        [blh](const py::object& x, const py::object& y, const py::object& z,
              const py::object& errors, const py::object& threads) {
            return Convert<Inverse>(kInverse, blh, x, y, z, errors, threads);
        },
        R"(Earth-centred, earth-fixed x, y, z in metres as BLH(lat, lon, h) on WGS 84: decimal
degrees (longitude -180 to 180) and metres above the ellipsoid.

Inputs, results and threads as for to_xyz. A point more than about 7071 km from the earth's
centre (or not finite) gives NaN, or ValueError with errors='raise'. A point on the polar
axis gets longitude 0; the centre itself latitude 0 and height -6378137.)",
        "x"_a, "y"_a, "z"_a, "errors"_a = "nan", "threads"_a = py::none());
}

}  // namespace fieldkit::python
