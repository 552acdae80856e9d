// Geodetic positions to earth-centred X, Y, Z and back, on numbers and on numpy arrays of any
// shape. The arrays are broadcast against each other and walked once, without the GIL.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <cmath>
#include <string>
#include <vector>

#include "bindings.h"
#include "fieldkit/angles/angle_units.h"
#include "fieldkit/angles/geodetic.h"

namespace py = pybind11;
using namespace pybind11::literals;

namespace fieldkit::python {

namespace {

using fieldkit::DegreesToRadians;
using fieldkit::RadiansToDegrees;

constexpr double kMaxHeight = 100000.0;

using Array = py::array_t<double, py::array::c_style | py::array::forcecast>;

// One point converted into out[0..2]; false when it has no result (the outputs are NaN then).
using Point = bool (*)(double a, double b, double c, double* out);

// Positions convert exactly (Deg2Rad rounds to 0.00001 rad, some 32 m on the ground).
bool Forward(double lat, double lon, double h, double* out) {
    if (!(std::fabs(lat) <= 90 && std::isfinite(lon) && std::fabs(h) <= kMaxHeight)) return false;
    return TBLH_To_XYZ(DegreesToRadians(lat), DegreesToRadians(lon), h, out[0], out[1], out[2]);
}

bool Inverse(double x, double y, double z, double* out) {
    if (!(std::isfinite(x) && std::isfinite(y) && std::isfinite(z))) return false;
    double b = 0, l = 0, h = 0;
    if (!TXYZ_To_BLH(x, y, z, b, l, h)) return false;
    out[0] = RadiansToDegrees(b);
    out[1] = RadiansToDegrees(l);
    out[2] = h;
    return true;
}

enum class Errors { kNaN, kRaise };

Errors ReadErrors(const std::string& errors) {
    if (errors == "nan") return Errors::kNaN;
    if (errors == "raise") return Errors::kRaise;
    throw py::value_error("errors: 'nan' or 'raise', not '" + errors + "'");
}

// Converts every point of the broadcast inputs; a tuple of three floats when all three are
// numbers, else of three arrays of the broadcast shape.
py::tuple Convert(Point point, const py::object& a, const py::object& b, const py::object& c,
                  const std::string& errors, const char* why) {
    const Errors mode = ReadErrors(errors);
    const py::module_ numpy = py::module_::import("numpy");
    const py::tuple views = numpy.attr("broadcast_arrays")(
        numpy.attr("asarray")(a), numpy.attr("asarray")(b), numpy.attr("asarray")(c));
    // Broadcast views repeat elements with zero strides: contiguous copies of those only.
    Array in[3];
    for (int i = 0; i < 3; ++i) {
        in[i] = Array::ensure(views[i]);
        if (!in[i]) throw py::type_error("expected numbers or arrays of numbers");
    }
    const std::vector<py::ssize_t> shape(in[0].shape(), in[0].shape() + in[0].ndim());
    Array out[3] = {Array(shape), Array(shape), Array(shape)};
    const double* from[3] = {in[0].data(), in[1].data(), in[2].data()};
    double* to[3] = {out[0].mutable_data(), out[1].mutable_data(), out[2].mutable_data()};
    const py::ssize_t n = in[0].size();
    py::ssize_t firstBad = -1;
    {
        py::gil_scoped_release unlocked;
        const double nan = std::nan("");
        for (py::ssize_t i = 0; i < n; ++i) {
            double r[3];
            if (!point(from[0][i], from[1][i], from[2][i], r)) {
                r[0] = r[1] = r[2] = nan;
                if (firstBad < 0) firstBad = i;
                if (mode == Errors::kRaise) break;
            }
            to[0][i] = r[0];
            to[1][i] = r[1];
            to[2][i] = r[2];
        }
    }
    if (firstBad >= 0 && mode == Errors::kRaise) {
        const std::string where = shape.empty()
                                      ? std::string()
                                      : " at index " + py::repr(numpy.attr("unravel_index")(
                                                                    firstBad, out[0].attr("shape")))
                                                           .cast<std::string>();
        throw py::value_error(std::string(why) + where + ": (" +
                              py::repr(py::float_(from[0][firstBad])).cast<std::string>() + ", " +
                              py::repr(py::float_(from[1][firstBad])).cast<std::string>() + ", " +
                              py::repr(py::float_(from[2][firstBad])).cast<std::string>() + ")");
    }
    if (shape.empty()) return py::make_tuple(to[0][0], to[1][0], to[2][0]);
    return py::make_tuple(out[0], out[1], out[2]);
}

}  // namespace

void AddGeodetic(py::module_& m) {
    m.def(
        "to_xyz",
        [](const py::object& lat, const py::object& lon, const py::object& h,
           const std::string& errors) {
            return Convert(Forward, lat, lon, h, errors,
                           "no X, Y, Z for a latitude beyond 90 degrees or a height beyond "
                           "100 km");
        },
        "lat"_a, "lon"_a, "h"_a = 0.0, "errors"_a = "nan",
        R"(Latitude and longitude in decimal degrees and ellipsoidal height in metres on WGS 84
as earth-centred, earth-fixed (x, y, z) in metres.

Each input is a number or an array of any shape; they are broadcast against each other as
numpy does. Numbers give a tuple of three floats, arrays a tuple of three float64 arrays of
the broadcast shape. A point outside the accepted range (latitude -90 to 90, height
-100000 to 100000 m, any finite longitude) gives NaN in all three; with errors='raise' it
raises ValueError instead, naming the first such point.)");

    m.def(
        "to_blh",
        [](const py::object& x, const py::object& y, const py::object& z,
           const std::string& errors) {
            return Convert(Inverse, x, y, z, errors,
                           "no latitude, longitude and height for a point more than about "
                           "7071 km from the centre");
        },
        "x"_a, "y"_a, "z"_a, "errors"_a = "nan",
        R"(Earth-centred, earth-fixed x, y, z in metres as (latitude, longitude, height) on
WGS 84: decimal degrees (longitude -180 to 180) and metres above the ellipsoid.

Inputs and results as for to_xyz. A point more than about 7071 km from the earth's centre
(or not finite) gives NaN, or ValueError with errors='raise'. A point on the polar axis gets
longitude 0; the centre itself latitude 0 and height -6378137.)");
}

}  // namespace fieldkit::python
