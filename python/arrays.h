// How the module's functions over numbers and arrays read their arguments, shape their results
// and spread their work over the cores. One set of rules for every such function:
//
// - Accepted: Python int and float, numpy int and float scalars, nested lists and tuples of
//   those, numpy int and float arrays, and anything numpy reads through the array protocol
//   (a pandas Series, say). Values are read as float64; 0-d arguments give float results.
// - Refused with TypeError naming the argument: None, str, bytes, complex numbers and arrays,
//   object, string and datetime arrays, and booleans. numpy counts True as 1, but a boolean
//   where a coordinate is due is nearly always a mask or a flag passed in the wrong place.
// - numpy masked arrays keep their masks: the masks of the arguments are broadcast and
//   combined, masked points are not computed, and the results carry the combined mask.
#pragma once

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <cstddef>
#include <functional>
#include <vector>

namespace fieldkit::python {

// One argument by name, as the caller passed it.
struct Argument {
    pybind11::handle value;
    const char* name;
};

// The arguments of one call read as float64 and broadcast against each other as numpy does.
class Broadcast {
  public:
    // Raises TypeError for an argument that is not numbers, ValueError for shapes that do not
    // broadcast; both name the argument. A C-contiguous float64 array is used in place.
    explicit Broadcast(const std::vector<Argument>& arguments);

    pybind11::ssize_t size() const { return size_; }
    const std::vector<pybind11::ssize_t>& shape() const { return shape_; }

    // Element i (in C order over the broadcast shape) of argument k is data(k)[i * step(k)]:
    // the step is 0 for an argument whose one value stands for every element.
    const double* data(std::size_t k) const { return data_[k]; }
    pybind11::ssize_t step(std::size_t k) const { return step_[k]; }
    double at(std::size_t k, pybind11::ssize_t i) const { return data_[k][i * step_[k]]; }
    // Whether element i is masked in any argument.
    bool masked(pybind11::ssize_t i) const { return mask_ != nullptr && mask_[i]; }

    // A new float64 array of the broadcast shape, for one result.
    pybind11::array_t<double> NewResult() const;
    // A result as the caller gets it: a float when every argument was 0-d, a masked array
    // with the combined mask when any argument was one, else the array itself.
    pybind11::object Finish(const pybind11::array_t<double>& result) const;
    // The same for a result of another dtype (str, say): its one element for 0-d arguments.
    pybind11::object FinishAny(const pybind11::array& result) const;

  private:
    std::vector<pybind11::ssize_t> shape_;
    pybind11::ssize_t size_ = 1;
    std::vector<pybind11::array_t<double>> arrays_;  // keeps data_ alive
    std::vector<const double*> data_;
    std::vector<pybind11::ssize_t> step_;
    pybind11::object maskArray_;  // the combined mask (C-contiguous bool), or null
    const bool* mask_ = nullptr;
    bool maskedResults_ = false;
};

// The number of threads a `threads=` argument asks for: None is every core, else a whole
// number >= 1 (ValueError naming the argument otherwise; TypeError for what is no number).
unsigned ReadThreads(pybind11::handle threads);

// Calls body(begin, end) over [0, n) split into contiguous pieces, on up to `threads` threads,
// without the GIL; the threads take the pieces in turn, so that a slow one takes fewer. Each
// thread gets some 4000 points or more: fewer stay on the calling thread, where starting
// another would cost more than it saves. Each element is computed by exactly one call, so the
// results do not depend on the number of threads; the pieces may run in any order.
void ParallelFor(pybind11::ssize_t n, unsigned threads,
                 const std::function<void(pybind11::ssize_t, pybind11::ssize_t)>& body);

}  // namespace fieldkit::python
