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
#include <utility>
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

// Makes `first` the smaller of itself and `i` (or `i` while it is -1), whatever other
// threads do at the same time: the refusal reported is the first element's.
inline void KeepFirst(std::atomic<pybind11::ssize_t>& first, pybind11::ssize_t i) {
    pybind11::ssize_t seen = first.load();
    while ((seen < 0 || i < seen) && !first.compare_exchange_weak(seen, i)) {
    }
}

// A numpy str array filled from many threads with texts whose longest is not known until
// every one is made. The cells are written in place at a width guessed from the first texts
// (for most functions every text has that width); a longer text is kept aside, and the array
// is widened for it at the end, so the width is always the longest text's, as numpy gives it.
class StrCells {
  public:
    // An array of `shape` with cells of `width` code points (at least 1).
    StrCells(const std::vector<pybind11::ssize_t>& shape, std::size_t width);
    // Text i into its cell, NUL-padded. Any thread, each i once; no Python call.
    void Put(pybind11::ssize_t i, const std::wstring& text);
    // The array, widened to the longest text put, on up to `threads` threads (with the GIL).
    pybind11::array Finish(unsigned threads);

  private:
    std::vector<pybind11::ssize_t> shape_;
    pybind11::array array_;
    char32_t* cells_;
    std::size_t width_;
    pybind11::ssize_t size_;
    std::mutex asideLock_;
    std::vector<std::pair<pybind11::ssize_t, std::wstring>> aside_;
};

// Why element `i` of an argument was refused: "<argument> at index (i,): <why>".
std::string ElementRefused(const char* argument, const std::vector<pybind11::ssize_t>& shape,
                           pybind11::ssize_t i, const std::string& why);

// A text for every number of `value` (a number gives a str, an array an array of str of its
// shape), `f(double)` answering something with `ok` and `text` (wide). A value `f` refuses
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
        return py::cast(r.text.GetStdString());
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
    // The width of the first texts, a guess for them all.
    std::size_t width = 1;
    for (py::ssize_t i = 0; i < std::min<py::ssize_t>(in.size(), 16); ++i) {
        if (in.masked(i)) continue;
        auto r = f(in.at(0, i));
        if (r.ok) width = std::max(width, r.text.GetStdString().size());
    }
    StrCells cells(in.shape(), width);
    std::atomic<py::ssize_t> firstBad{-1};
    ParallelFor(in.size(), workers, [&](py::ssize_t begin, py::ssize_t end) {
        const std::wstring none;
        for (py::ssize_t i = begin; i < end; ++i) {
            if (in.masked(i)) {
                cells.Put(i, none);
                continue;
            }
            auto r = f(in.at(0, i));
            if (!r.ok) {
                KeepFirst(firstBad, i);
                return;
            }
            cells.Put(i, r.text.GetStdString());
        }
    });
    const py::ssize_t bad = firstBad.load();
    if (bad >= 0) {
        const double v = in.at(0, bad);
        throw py::value_error(ElementRefused(argument, in.shape(), bad, describe(f(v), v)));
    }
    return in.FinishAny(cells.Finish(workers));
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
                KeepFirst(firstBad, i);
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

// A yes or no for every text of `value` (a text gives a bool, an array or sequence of texts a
// bool array of its shape), `f(const std::wstring&)` answering it. A missing text is no
// answer to yes; masked elements keep their mask.
template <class F>
pybind11::object TextsToFlags(const pybind11::handle& value, const char* argument,
                              const pybind11::handle& threads, F f) {
    namespace py = pybind11;
    const unsigned workers = ReadThreads(threads);
    const TextsIn in = ReadTexts(value, argument);
    py::array_t<bool> result(in.shape);
    bool* to = result.mutable_data();
    ParallelFor(in.size, workers, [&](py::ssize_t begin, py::ssize_t end) {
        std::wstring text;
        for (py::ssize_t i = begin; i < end; ++i) {
            to[i] = false;
            if (in.StateOf(i) != TextsIn::kText) continue;
            in.TextAt(i, text);
            to[i] = f(text);
        }
    });
    if (in.scalar) return py::bool_(to[0]);
    if (in.mask.is_none()) return std::move(result);
    return py::module_::import("numpy").attr("ma").attr("masked_array")(result, in.mask);
}

}  // namespace fieldkit::python
