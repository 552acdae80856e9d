// The texts of str arrays, str arrays from texts, and the messages that name an element.
#include "text_arrays.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace py = pybind11;
using namespace pybind11::literals;

namespace fieldkit::python {

static_assert(sizeof(wchar_t) == 4, "the library's wide text holds every code point in one unit");

Errors ReadErrors(const py::object& errors, Errors fallback) {
    if (errors.is_none()) return fallback;
    if (py::isinstance<py::str>(errors)) {
        const std::string name = errors.cast<std::string>();
        if (name == "nan") return Errors::kNaN;
        if (name == "raise") return Errors::kRaise;
    }
    throw py::value_error("errors: 'nan' or 'raise', not " + py::repr(errors).cast<std::string>());
}

namespace {

// Where a str object's characters are.
TextsIn::Str StrOf(const py::handle& text) {
    if (PyUnicode_READY(text.ptr()) != 0) throw py::error_already_set();
    return {PyUnicode_DATA(text.ptr()), PyUnicode_GET_LENGTH(text.ptr()),
            static_cast<int>(PyUnicode_KIND(text.ptr()))};
}

bool IsMissing(const py::handle& item) {
    if (item.is_none()) return true;
    return PyFloat_Check(item.ptr()) && std::isnan(PyFloat_AS_DOUBLE(item.ptr()));
}

[[noreturn]] void NotTexts(const char* argument, const py::handle& what) {
    throw py::type_error(std::string(argument) +
                         ": expected a str or an array or sequence of str, not " +
                         py::str(py::type::handle_of(what).attr("__name__")).cast<std::string>());
}

}  // namespace

void TextsIn::TextAt(py::ssize_t i, std::wstring& out) const {
    if (cells != nullptr) {
        const char32_t* t = cells + static_cast<std::size_t>(i) * width;
        std::size_t length = width;
        while (length > 0 && t[length - 1] == U'\0')
            --length;
        out.resize(length);
        std::copy(t, t + length, out.begin());
        return;
    }
    const Str& s = strs[static_cast<std::size_t>(i)];
    const auto length = static_cast<std::size_t>(s.length);
    out.resize(length);
    if (s.kind == PyUnicode_1BYTE_KIND) {
        const auto* from = static_cast<const Py_UCS1*>(s.data);
        std::copy(from, from + length, out.begin());
    } else if (s.kind == PyUnicode_2BYTE_KIND) {
        const auto* from = static_cast<const Py_UCS2*>(s.data);
        std::copy(from, from + length, out.begin());
    } else {
        const auto* from = static_cast<const Py_UCS4*>(s.data);
        std::copy(from, from + length, out.begin());
    }
}

TextsIn ReadTexts(const py::handle& value, const char* argument) {
    TextsIn in;
    in.mask = py::none();
    if (py::isinstance<py::str>(value)) {
        in.scalar = true;
        in.size = 1;
        in.keep = py::reinterpret_borrow<py::object>(value);
        in.strs.push_back(StrOf(value));
        return in;
    }
    if (value.is_none() || py::isinstance<py::bytes>(value)) NotTexts(argument, value);
    const py::module_ numpy = py::module_::import("numpy");
    py::object source = py::reinterpret_borrow<py::object>(value);
    if (py::isinstance(value, numpy.attr("ma").attr("MaskedArray"))) {
        in.mask = numpy.attr("ma").attr("getmaskarray")(value);
        source = value.attr("data");
    }
    // A sequence is read element by element (a number in a list of texts is refused, where
    // numpy would make it a text); a numpy array keeps its dtype.
    py::array array = py::isinstance<py::array>(source)
                          ? numpy.attr("asarray")(source)
                          : numpy.attr("asarray")(source, "dtype"_a = "object");
    const char kind = array.dtype().kind();
    if (kind != 'U' && kind != 'O') {
        if (array.ndim() == 0) NotTexts(argument, value);
        throw py::type_error(std::string(argument) +
                             ": expected a str or an array or sequence of str, not an array of " +
                             py::str(array.dtype()).cast<std::string>());
    }
    if (array.ndim() == 0) {
        // A 0-d array is one text.
        const py::object item = array.attr("item")();
        if (!py::isinstance<py::str>(item)) NotTexts(argument, item);
        in.scalar = true;
        in.size = 1;
        in.mask = py::none();
        in.keep = item;
        in.strs.push_back(StrOf(item));
        return in;
    }
    array = numpy.attr("ascontiguousarray")(array);  // (which makes a 0-d array 1-d)
    in.shape.assign(array.shape(), array.shape() + array.ndim());
    in.size = array.size();
    in.keep = array;
    const py::ssize_t n = in.size;
    if (kind == 'U') {
        in.cells = static_cast<const char32_t*>(array.data());
        in.width = static_cast<std::size_t>(array.itemsize()) / 4;
    } else {
        in.strs.resize(static_cast<std::size_t>(n));
        auto* const* items = static_cast<PyObject* const*>(array.data());
        for (py::ssize_t i = 0; i < n; ++i) {
            const py::handle item(items[i]);
            if (py::isinstance<py::str>(item)) {
                in.strs[static_cast<std::size_t>(i)] = StrOf(item);
            } else if (IsMissing(item)) {
                if (in.state.empty()) in.state.assign(static_cast<std::size_t>(n), TextsIn::kText);
                in.state[static_cast<std::size_t>(i)] = TextsIn::kMissing;
            } else {
                throw py::type_error(ElementRefused(
                    argument, in.shape, i,
                    "expected a str, not " +
                        py::str(py::type::handle_of(item).attr("__name__")).cast<std::string>()));
            }
        }
    }
    if (!in.mask.is_none()) {
        const py::array_t<bool, py::array::c_style | py::array::forcecast> m(
            numpy.attr("broadcast_to")(in.mask, array.attr("shape")));
        const bool* masked = m.data();
        for (py::ssize_t i = 0; i < n; ++i) {
            if (!masked[i]) continue;
            if (in.state.empty()) in.state.assign(static_cast<std::size_t>(n), TextsIn::kText);
            in.state[static_cast<std::size_t>(i)] = TextsIn::kMasked;
        }
    }
    return in;
}

namespace {

// A str array of `shape` and cells of `width` code points, their contents not set. numpy
// fills a str array's memory with NULs as it makes it, by a way of allocating that leaves the
// kernel to map it a small page at a time; the memory of a plain uint32 array is got the way
// that maps large pages at once where the system can. On a machine where every page costs a
// trap, a million DMS texts took 200 ms that way for 20 this way. Every cell is then written
// whole, so nothing is left unset.
py::array UnsetStrArray(const std::vector<py::ssize_t>& shape, std::size_t width) {
    py::ssize_t cells = static_cast<py::ssize_t>(width);
    for (const py::ssize_t n : shape)
        cells *= n;
    py::array_t<std::uint32_t> memory(cells);
    return py::array(py::dtype("<U" + std::to_string(width)), shape, {}, memory.data(), memory);
}

}  // namespace

StrCells::StrCells(const std::vector<py::ssize_t>& shape, std::size_t width)
    : shape_(shape),
      array_(UnsetStrArray(shape, std::max<std::size_t>(width, 1))),
      cells_(static_cast<char32_t*>(array_.mutable_data())),
      width_(std::max<std::size_t>(width, 1)),
      size_(array_.size()) {}

void StrCells::Put(py::ssize_t i, const std::wstring& text) {
    char32_t* cell = cells_ + static_cast<std::size_t>(i) * width_;
    if (text.size() > width_) {
        std::fill(cell, cell + width_, U'\0');
        const std::lock_guard<std::mutex> held(asideLock_);
        aside_.emplace_back(i, text);
        return;
    }
    std::copy(text.begin(), text.end(), cell);
    std::fill(cell + text.size(), cell + width_, U'\0');
}

py::array StrCells::Finish(unsigned threads) {
    if (aside_.empty()) return array_;
    std::size_t width = width_;
    for (const auto& kept : aside_)
        width = std::max(width, kept.second.size());
    py::array wide = UnsetStrArray(shape_, width);
    const char32_t* from = cells_;
    auto* to = static_cast<char32_t*>(wide.mutable_data());
    const std::size_t narrow = width_;
    ParallelFor(size_, threads, [&](py::ssize_t begin, py::ssize_t end) {
        for (py::ssize_t i = begin; i < end; ++i) {
            const char32_t* cell = from + static_cast<std::size_t>(i) * narrow;
            char32_t* out = to + static_cast<std::size_t>(i) * width;
            std::copy(cell, cell + narrow, out);
            std::fill(out + narrow, out + width, U'\0');
        }
    });
    for (const auto& kept : aside_) {
        char32_t* out = to + static_cast<std::size_t>(kept.first) * width;
        std::copy(kept.second.begin(), kept.second.end(), out);
        std::fill(out + kept.second.size(), out + width, U'\0');
    }
    aside_.clear();
    array_ = wide;
    cells_ = to;
    width_ = width;
    return array_;
}

std::string ElementRefused(const char* argument, const std::vector<py::ssize_t>& shape,
                           py::ssize_t i, const std::string& why) {
    // The index as numpy.unravel_index gives it: "(3,)", "(3, 1)".
    std::vector<py::ssize_t> index(shape.size());
    for (std::size_t d = shape.size(); d-- > 0;) {
        index[d] = shape[d] == 0 ? 0 : i % shape[d];
        i = shape[d] == 0 ? 0 : i / shape[d];
    }
    std::string text = std::string(argument) + " at index (";
    for (std::size_t d = 0; d < index.size(); ++d) {
        text += std::to_string(index[d]);
        if (d + 1 < index.size()) text += ", ";
    }
    return text + (index.size() == 1 ? ",)" : ")") + ": " + why;
}

}  // namespace fieldkit::python
