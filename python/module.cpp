// The compiled part of the Python package: fieldkit/__init__.py re-exports everything here.
#include "bindings.h"

namespace fieldkit::python {

void ThrowOSError(const std::string& message) {
    PyErr_SetString(PyExc_OSError, message.c_str());
    throw pybind11::error_already_set();
}

}  // namespace fieldkit::python

PYBIND11_MODULE(_fieldkit, m) {
    m.doc() = "The compiled part of the fieldkit package; import fieldkit instead.";
    m.attr("__version__") = FIELDKIT_VERSION;
    fieldkit::python::AddTexts(m);
    fieldkit::python::AddGeodetic(m);
    fieldkit::python::AddDocuments(m);
}
