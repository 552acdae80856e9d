// The parts of the Python module, each adding its functions to the module, and the helpers
// they share.
#pragma once

#include <pybind11/pybind11.h>

#include <string>

namespace fieldkit::python {

void AddTexts(pybind11::module_& m);
void AddGeodetic(pybind11::module_& m);
void AddDocuments(pybind11::module_& m);

// Raises OSError with the message (pybind11 has no type of its own for it).
[[noreturn]] void ThrowOSError(const std::string& message);

}  // namespace fieldkit::python
