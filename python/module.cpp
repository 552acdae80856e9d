// The compiled part of the Python package: fieldkit/__init__.py re-exports everything here.
#include <cerrno>

#include "bindings.h"
#include "fieldkit/fieldkit.h"

namespace fieldkit::python {

int ErrnoOf(unsigned long error, const std::wstring& path) {
    switch (error) {
        // Both are "not there" to the library: a missing folder on the way reads as a missing
        // file, as Python reads these codes on Windows.
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
            return ENOENT;
        case ERROR_ACCESS_DENIED: {
            // The library refuses a folder given as a file with the code of a refused
            // permission; Python tells the two apart.
            const DWORD attributes = GetFileAttributesW(path.c_str());
            return attributes != INVALID_FILE_ATTRIBUTES &&
                           (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0
                       ? EISDIR
                       : EACCES;
        }
        case ERROR_TOO_MANY_OPEN_FILES:
            return EMFILE;
        case ERROR_NOT_ENOUGH_MEMORY:
            return ENOMEM;
        case ERROR_FILE_EXISTS:
        case ERROR_ALREADY_EXISTS:
            return EEXIST;
        case ERROR_DISK_FULL:
            return ENOSPC;
        case ERROR_FILENAME_EXCED_RANGE:
            return ENAMETOOLONG;
        case ERROR_CANT_RESOLVE_FILENAME:
            return ELOOP;
        case ERROR_FILE_INVALID:  // larger than any file of its kind
            return EFBIG;
        case ERROR_INVALID_NAME:
        case ERROR_INVALID_PARAMETER:
            return EINVAL;
        default:  // a read or write fault, or a failure the library gave no code for
            return EIO;
    }
}

void ThrowOSError(const std::string& what, const std::string& shown, const std::wstring& path,
                  unsigned long error) {
    const int number = ErrnoOf(error, path);
    // OSError(errno, ...) itself picks the subclass, as it does for open().
    const std::string reason =
        pybind11::str(pybind11::module_::import("os").attr("strerror")(number));
    const pybind11::object raised =
        pybind11::handle(PyExc_OSError)(number, what + " (" + reason + ")", shown);
    PyErr_SetObject(reinterpret_cast<PyObject*>(Py_TYPE(raised.ptr())), raised.ptr());
    throw pybind11::error_already_set();
}

}  // namespace fieldkit::python

PYBIND11_MODULE(_fieldkit, m) {
    // Every function writes its own text signature first in its docstring (signature.h), which
    // inspect reads; pybind11's own signature line would hide it.
    pybind11::options options;
    options.disable_function_signatures();
    m.doc() = "The compiled part of the fieldkit package; import fieldkit instead.";
    m.attr("__version__") = FIELDKIT_VERSION;
    fieldkit::python::AddTexts(m);
    fieldkit::python::AddGeodetic(m);
    fieldkit::python::AddDocuments(m);
}
