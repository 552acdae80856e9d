// The parts of the Python module, each adding its functions to the module, and the helpers
// they share.
#pragma once

#include <pybind11/pybind11.h>

#include <string>

namespace fieldkit::python {

void AddTexts(pybind11::module_& m);
void AddGeodetic(pybind11::module_& m);
void AddDocuments(pybind11::module_& m);

// Raises what Python's own open() would for the library's failure `error` (GetLastError, read
// right after the failing call) on the file `path`, the device path given as `shown`:
// FileNotFoundError, PermissionError, IsADirectoryError ..., with errno, "what (reason)" as the
// message and `shown` as filename.
[[noreturn]] void ThrowOSError(const std::string& what, const std::string& shown,
                               const std::wstring& path, unsigned long error);

// The errno value that Python reads the library's failure `error` on `path` as.
int ErrnoOf(unsigned long error, const std::wstring& path);

}  // namespace fieldkit::python
