// Functions and methods defined with their parameters visible to Python's inspect module.
//
// pybind11 writes a function's signature as the first line of its docstring, which
// inspect.signature cannot read: every function of the module failed it. CPython reads a
// docstring that begins "name(a, b=2)\n--\n\n" as the function's __text_signature__, so the
// module turns pybind11's own signature line off (module.cpp) and Def writes that line
// from the same py::arg list that names the parameters for the call: the names and defaults
// cannot drift apart.
#pragma once

#include <pybind11/pybind11.h>

#include <string>
#include <type_traits>
#include <utility>

namespace fieldkit::python {

namespace signature {

inline void Add(std::string& out, const pybind11::arg& a) {
    if (out.back() != '(') out += ", ";
    out += a.name;
}

inline void Add(std::string& out, const pybind11::arg_v& a) {
    Add(out, static_cast<const pybind11::arg&>(a));
    out += '=';
    out += pybind11::repr(a.value).cast<std::string>();
}

}  // namespace signature

// The docstring of `name` taking `args`, led by its text signature; `self` for a method.
template <class... Args>
std::string SignedDoc(const char* name, bool self, const char* doc, const Args&... args) {
    std::string text = std::string(name) + "(";
    if (self) text += "self";
    (signature::Add(text, args), ...);
    return text + ")\n--\n\n" + doc;
}

// m.def / cls.def with the text signature in front of `doc`; `args` are the py::arg
// parameter names (and defaults) of `f`, in order.
template <class Scope, class F, class... Args>
void Def(Scope& scope, const char* name, F&& f, const char* doc, const Args&... args) {
    constexpr bool method = !std::is_same_v<Scope, pybind11::module_>;
    const std::string text = SignedDoc(name, method, doc, args...);
    // pybind11 copies the docstring while defining the function.
    scope.def(name, std::forward<F>(f), args..., text.c_str());
}

}  // namespace fieldkit::python
