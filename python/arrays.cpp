#include "arrays.h"

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <string>
#include <system_error>
#include <thread>

namespace py = pybind11;
using namespace pybind11::literals;

namespace fieldkit::python {

namespace {

// Fewer points than this per thread, and starting the thread costs more than it saves. Timed
// on two cores, one thread against two: to_blh is faster on two from about 2000 points,
// to_xyz from about 8000 (at 4096 two threads took 176 us, one 135; at 8192, 249 against 291).
constexpr py::ssize_t kPointsPerThread = 4096;

std::string TypeName(py::handle value) {
    const py::handle type = py::type::handle_of(value);
    const std::string module = py::str(type.attr("__module__"));
    const std::string name = py::str(type.attr("__qualname__"));
    return module == "builtins" ? name : module + "." + name;
}

// The value in a message: short, whatever its size.
std::string Shown(py::handle value) {
    std::string text = py::repr(value);
    if (text.size() > 40) text = text.substr(0, 37) + "...";
    return text;
}

[[noreturn]] void RefuseType(const char* name, const std::string& what) {
    throw py::type_error(std::string(name) + ": expected a number or an array of numbers, not " +
                         what);
}

struct Read {
    py::array values;              // the values as numpy reads them, any dtype
    py::object mask = py::none();  // numpy.ma's mask, or None
};

Read ReadOne(const py::module_& numpy, py::handle value, const char* name) {
    Read read;
    py::object data = py::reinterpret_borrow<py::object>(value);
    const py::module_ ma = numpy.attr("ma");
    if (py::isinstance(value, ma.attr("MaskedArray"))) {
        data = ma.attr("getdata")(value);
        read.mask = ma.attr("getmaskarray")(value);
    }
    try {
        read.values = numpy.attr("asarray")(data);
    } catch (py::error_already_set& e) {
        // Ragged nested lists and objects whose array protocol fails.
        if (!e.matches(PyExc_ValueError) && !e.matches(PyExc_TypeError)) throw;
        RefuseType(name, TypeName(value) + " " + Shown(value) + " (numpy reads no array from it)");
    }
    // An int beyond 64 bits is an array of one object to numpy, but still a number.
    if (PyLong_Check(value.ptr()) && !py::isinstance<py::bool_>(value) &&
        read.values.dtype().kind() == 'O') {
        const double number = PyLong_AsDouble(value.ptr());
        if (number == -1.0 && PyErr_Occurred()) {
            PyErr_Clear();
            throw py::value_error(std::string(name) + ": " + Shown(value) +
                                  " is too large for a float64");
        }
        read.values = py::array_t<double>(std::vector<py::ssize_t>{});
        *static_cast<double*>(read.values.mutable_data()) = number;
    }
    // None, str, bytes and the like come out as arrays of objects or strings; booleans,
    // complex numbers and datetimes as their own kinds.
    const char kind = read.values.dtype().kind();
    if (kind != 'f' && kind != 'i' && kind != 'u') {
        const std::string dtype = py::str(read.values.dtype());
        if (py::isinstance<py::array>(value)) RefuseType(name, "an array of " + dtype);
        const std::string type = TypeName(value);
        if (read.values.ndim() == 0) RefuseType(name, type + " " + Shown(value));
        if (py::isinstance<py::list>(value) || py::isinstance<py::tuple>(value))
            RefuseType(name, type + " " + Shown(value) + " (read as " + dtype + ")");
        RefuseType(name, type + " of " + dtype);  // through the array protocol
    }
    return read;
}

std::string Names(const std::vector<Argument>& arguments) {
    std::string names;
    for (const Argument& a : arguments)
        names += (names.empty() ? "" : ", ") + std::string(a.name);
    return names;
}

}  // namespace

Broadcast::Broadcast(const std::vector<Argument>& arguments) {
    const py::module_ numpy = py::module_::import("numpy");
    std::vector<Read> read;
    read.reserve(arguments.size());
    py::list shapes;
    for (const Argument& a : arguments) {
        read.push_back(ReadOne(numpy, a.value, a.name));
        shapes.append(read.back().values.attr("shape"));
    }
    py::object shape;
    try {
        shape = numpy.attr("broadcast_shapes")(*shapes);
    } catch (py::error_already_set& e) {
        if (!e.matches(PyExc_ValueError)) throw;
        std::string shown;
        for (std::size_t k = 0; k < arguments.size(); ++k)
            shown += (k ? ", " : "") + std::string(arguments[k].name) + " " +
                     std::string(py::repr(shapes[k]));
        throw py::value_error(Names(arguments) +
                              ": shapes that do not broadcast together: " + shown);
    }
    for (py::handle extent : shape)
        shape_.push_back(extent.cast<py::ssize_t>());
    for (py::ssize_t extent : shape_)
        size_ *= extent;

    for (Read& r : read) {
        const bool repeated = r.values.size() == 1 && size_ != 1;
        py::object values = r.values;
        // Equal sizes mean equal shapes but for leading ones: the same order in memory. Other
        // shapes repeat elements, and get a contiguous copy of the repeats.
        if (!repeated && r.values.size() != size_)
            values = numpy.attr("broadcast_to")(r.values, shape);
        // No copy when the values are already C-contiguous float64.
        arrays_.push_back(
            py::array_t<double, py::array::c_style | py::array::forcecast>::ensure(values));
        if (!arrays_.back()) throw py::error_already_set();
        data_.push_back(arrays_.back().data());
        step_.push_back(repeated ? 0 : 1);
        if (!r.mask.is_none()) {
            maskedResults_ = true;
            py::object mask = numpy.attr("broadcast_to")(r.mask, shape);
            maskArray_ = maskArray_ ? numpy.attr("logical_or")(maskArray_, mask) : mask;
        }
    }
    if (maskArray_) {
        maskArray_ = numpy.attr("ascontiguousarray")(maskArray_, "dtype"_a = "bool");
        mask_ = static_cast<const bool*>(py::array(maskArray_).data());
    }
}

py::array_t<double> Broadcast::NewResult() const {
    return py::array_t<double>(shape_);
}

py::object Broadcast::Finish(const py::array_t<double>& result) const {
    if (shape_.empty() && !maskedResults_) return py::float_(*result.data());
    if (!maskedResults_) return result;
    const py::module_ ma = py::module_::import("numpy").attr("ma");
    if (shape_.empty()) {
        if (mask_[0]) return ma.attr("masked");
        return py::float_(*result.data());
    }
    return ma.attr("MaskedArray")(result, "mask"_a = maskArray_);
}

unsigned ReadThreads(py::handle threads) {
    // The C library counts the cores by reading a file each time it is asked, which would cost
    // more than the conversion of one value: once per process is enough.
    static const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    if (threads.is_none()) return cores;
    const bool number = !py::isinstance<py::bool_>(threads) &&
                        (PyIndex_Check(threads.ptr()) || PyFloat_Check(threads.ptr()) ||
                         py::isinstance(threads, py::module_::import("numbers").attr("Number")));
    if (!number)
        throw py::type_error("threads: None or a whole number of threads, not " +
                             TypeName(threads) + " " + Shown(threads));
    if (PyIndex_Check(threads.ptr())) {
        const py::int_ count = py::reinterpret_steal<py::int_>(PyNumber_Index(threads.ptr()));
        if (!count) throw py::error_already_set();
        if (count >= py::int_(1)) {
            const unsigned long long n = PyLong_AsUnsignedLongLong(count.ptr());
            if (PyErr_Occurred()) PyErr_Clear();
            // More threads than cores, or than runs of points, only wait for each other.
            return static_cast<unsigned>(std::min<unsigned long long>(n, 1u << 16));
        }
    }
    throw py::value_error("threads: None or a whole number of threads >= 1, not " + Shown(threads));
}

void ParallelFor(py::ssize_t n, unsigned threads,
                 const std::function<void(py::ssize_t, py::ssize_t)>& body) {
    const py::ssize_t runs =
        std::max<py::ssize_t>(1, std::min<py::ssize_t>(threads, n / kPointsPerThread));
    py::gil_scoped_release unlocked;
    if (runs == 1) {
        body(0, n);
        return;
    }
    // The work is handed out in pieces, some sixteen a thread, from one counter: a thread that
    // the machine's other work holds back takes fewer, instead of keeping the others waiting
    // for its half.
    const py::ssize_t piece = std::max<py::ssize_t>(kPointsPerThread, n / (runs * 16));
    std::atomic<py::ssize_t> next{0};
    const auto work = [&] {
        for (py::ssize_t begin = next.fetch_add(piece); begin < n; begin = next.fetch_add(piece))
            body(begin, std::min(n, begin + piece));
    };
    std::vector<std::thread> started;
    try {
        for (py::ssize_t run = 1; run < runs; ++run)
            started.emplace_back(work);
    } catch (const std::system_error&) {
        // No more threads to be had: the ones started and this one share the work.
    }
    work();
    for (std::thread& t : started)
        t.join();
}

py::object Broadcast::FinishAny(const py::array& result) const {
    const bool maskedScalar = shape_.empty() && maskedResults_ && mask_[0];
    if (shape_.empty() && !maskedScalar) return result.attr("item")();
    if (!maskedResults_) return result;
    const py::module_ ma = py::module_::import("numpy").attr("ma");
    if (maskedScalar) return ma.attr("masked");
    return ma.attr("MaskedArray")(result, "mask"_a = maskArray_);
}

}  // namespace fieldkit::python
