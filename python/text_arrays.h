// Texts made from numbers, and numbers read from texts, over numpy arrays of any shape.
//
// A text function of the module takes a number (and answers a str) or an array of numbers
// (and answers a numpy array of str of the same shape); a reader takes a text (and answers a
// float) or an array or sequence of texts (and answers a float64 array of the same shape). The
// work for one value is a call of the typed core, which touches no process state, so the loops
// here run without the GIL and split large arrays over threads; the texts are gathered per
// thread into one flat buffer each, not one allocation per value.
#pragma once

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <mutex>
#include <string>
#include <vector>

#include "arrays.h"

namespace fieldkit::python {

// What a reader does with a text it refuses.
enum class Errors {
    kNaN,    // NaN in its place
    kRaise,  // ValueError naming the index, the text and the reason
};

// The `errors` argument: None gives `fallback`, else "nan" or "raise".
Errors ReadErrors(const pybind11::object& errors, Errors fallback);

// The texts of a str argument or of an array or sequence of str of any shape (numpy str
// arrays, object arrays and lists of str, pandas columns through the array protocol).
// None and NaN elements are missing texts. TypeError, naming the argument, for anything else.
//
// The texts stay where Python keeps them (a str array's cells, the str objects, which are
// immutable and held by `keep`): each is copied out by the thread that reads it, so the
// work before the threads start is one pass over pointers.
struct TextsIn {
    enum State : unsigned char { kText, kMissing, kMasked };
    bool scalar = false;
    std::vector<pybind11::ssize_t> shape;
    pybind11::ssize_t size = 0;
    // A numpy str array's cells: `width` UCS-4 units each, NUL-padded.
    const char32_t* cells = nullptr;
    std::size_t width = 0;
    // Or one str object's characters per text (PyUnicode kind 1, 2 or 4).
    struct Str {
        const void* data = nullptr;
        pybind11::ssize_t length = 0;
        int kind = 1;
    };
    std::vector<Str> strs;
    std::vector<unsigned char> state;  // a State for each text; empty when all are kText
    pybind11::object keep;             // what holds the texts
    pybind11::object mask;             // the input's mask, or None
    unsigned char StateOf(pybind11::ssize_t i) const {
        return state.empty() ? static_cast<unsigned char>(kText)
                             : state[static_cast<std::size_t>(i)];
    }
    // Text i, into `out` (whose room is reused from one text to the next). No Python call:
    // safe without the GIL.
    void TextAt(pybind11::ssize_t i, std::wstring& out) const;
};
TextsIn ReadTexts(const pybind11::handle& value, const char* argument);

// The texts of one part of an array: part [begin, end) holds the texts of its values one
// after the other in UTF-8 (a quarter of the memory of UCS-4, and memory is what a large
// array's texts cost most), ends[i] the end of value begin + i, and the most code points
// any of them has.
struct TextPart {
    pybind11::ssize_t begin = 0;
    std::string text;
    std::vector<std::uint32_t> ends;
    std::size_t width = 0;
};

// Appends a text to the part, counting its code points into the part's width.
void AppendText(TextPart& part, const std::string& utf8);

// A numpy str array of `shape` from the parts, which cover it (sorted here), filled on up to
// `threads` threads.
pybind11::array StrArray(const std::vector<pybind11::ssize_t>& shape, std::vector<TextPart>& parts,
                         unsigned threads);

// Why element `i` of an argument was refused: "<argument> at index (i,): <why>".
std::string ElementRefused(const char* argument, const std::vector<pybind11::ssize_t>& shape,
                           pybind11::ssize_t i, const std::string& why);

// A text for every number of `value` (a number gives a str, an array an array of str of its
// shape), `f(double)` answering something with `ok` and `text` (UTF-8). A value `f` refuses
// raises ValueError with `describe(answer, value)`, after the argument's name and the
// element's index for an array. Masked elements give empty texts under the same mask.
template <class F, class D>
pybind11::object NumbersToTexts(const pybind11::handle& value, const char* argument,
                                const pybind11::handle& threads, F f, D describe) {
    namespace py = pybind11;
    const unsigned workers = ReadThreads(threads);
    const auto one = [&](double v) -> py::object {
        auto r = f(v);
        if (!r.ok) throw py::value_error(describe(r, v));
        return py::str(r.text);
    };
    // Plain Python numbers straight, the common case of a call per value.
    if (PyFloat_CheckExact(value.ptr())) return one(PyFloat_AS_DOUBLE(value.ptr()));
    if (PyLong_CheckExact(value.ptr())) {
        const double v = PyLong_AsDouble(value.ptr());
        if (v == -1.0 && PyErr_Occurred()) {
            PyErr_Clear();
            throw py::value_error(std::string(argument) + ": too large a number for a float64: " +
                                  py::repr(value).cast<std::string>());
        }
        return one(v);
    }
    const Broadcast in({{value, argument}});
    if (in.shape().empty()) {
        if (in.masked(0)) return py::module_::import("numpy").attr("ma").attr("masked");
        return one(in.at(0, 0));
    }
    std::mutex lock;
    std::vector<TextPart> parts;
    py::ssize_t firstBad = -1;
    ParallelFor(in.size(), workers, [&](py::ssize_t begin, py::ssize_t end) {
        TextPart part;
        part.begin = begin;
        part.ends.reserve(static_cast<std::size_t>(end - begin));
        // Room for the usual texts (a DMS latitude is 16 characters), so the buffer rarely
        // moves while it fills.
        part.text.reserve(static_cast<std::size_t>(end - begin) * 18);
        for (py::ssize_t i = begin; i < end; ++i) {
            if (!in.masked(i)) {
                auto r = f(in.at(0, i));
                if (!r.ok) {
                    const std::lock_guard<std::mutex> held(lock);
                    if (firstBad < 0 || i < firstBad) firstBad = i;
                    return;
                }
                AppendText(part, r.text);
            }
            part.ends.push_back(static_cast<std::uint32_t>(part.text.size()));
        }
        const std::lock_guard<std::mutex> held(lock);
        parts.push_back(std::move(part));
    });
    if (firstBad >= 0) {
        const double v = in.at(0, firstBad);
        throw py::value_error(ElementRefused(argument, in.shape(), firstBad, describe(f(v), v)));
    }
    return in.FinishAny(StrArray(in.shape(), parts, workers));
}

// The number of every text of `value` (a text gives a float, an array or sequence of texts a
// float64 array of its shape), `f(const std::wstring&)` answering something with `ok` and
// `value`, and `message(reading, text)` the reason for a refused one. Refused and missing
// texts give NaN, or raise ValueError with errors="raise" (the default for one text); masked
// elements keep their mask.
template <class F, class M>
pybind11::object TextsToNumbers(const pybind11::handle& value, const char* argument,
                                const pybind11::object& errorsArgument,
                                const pybind11::handle& threads, F f, M message) {
    namespace py = pybind11;
    const unsigned workers = ReadThreads(threads);
    const TextsIn in = ReadTexts(value, argument);
    const Errors errors = ReadErrors(errorsArgument, in.scalar ? Errors::kRaise : Errors::kNaN);
    const py::ssize_t n = in.size;
    py::array_t<double> result(in.shape);
    double* to = result.mutable_data();
    std::atomic<py::ssize_t> firstBad{-1};
    ParallelFor(n, workers, [&](py::ssize_t begin, py::ssize_t end) {
        std::wstring text;
        for (py::ssize_t i = begin; i < end; ++i) {
            const unsigned char state = in.StateOf(i);
            bool ok = state == TextsIn::kMasked;  // not computed, never an error
            to[i] = std::numeric_limits<double>::quiet_NaN();
            if (state == TextsIn::kText) {
                in.TextAt(i, text);
                auto r = f(text);
                ok = r.ok;
                if (ok) to[i] = r.value;
            }
            if (!ok && errors == Errors::kRaise) {
                py::ssize_t seen = firstBad.load();
                while ((seen < 0 || i < seen) && !firstBad.compare_exchange_weak(seen, i)) {
                }
                return;
            }
        }
    });
    const py::ssize_t bad = firstBad.load();
    if (bad >= 0) {
        std::wstring text;
        in.TextAt(bad, text);
        const std::string why = in.StateOf(bad) == TextsIn::kMissing
                                    ? std::string("no text (a missing value)")
                                    : message(f(text), text);
        if (in.scalar) throw py::value_error(why);
        throw py::value_error(ElementRefused(argument, in.shape, bad, why));
    }
    if (in.scalar) return py::float_(to[0]);
    if (in.mask.is_none()) return std::move(result);
    return py::module_::import("numpy").attr("ma").attr("masked_array")(result, in.mask);
}

}  // namespace fieldkit::python
