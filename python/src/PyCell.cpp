#include "python/src/PyCell.h"

#include <pybind11/pybind11.h>

#include <cmath>

namespace pycell {
namespace {

PyObject* gNa = nullptr;
PyObject* gNat = nullptr;

}  // namespace

void SetMissingMarkers(PyObject* na, PyObject* nat) {
  // Held until the process ends: the markers are module singletons.
  Py_XINCREF(na);
  Py_XINCREF(nat);
  gNa = na;
  gNat = nat;
}

Kind Read(PyObject* object, double& number, std::string_view& text) {
  if (PyUnicode_Check(object)) {
    if (PyUnicode_IS_COMPACT_ASCII(object)) {
      // The common case, read in place without a call.
      text = std::string_view(static_cast<const char*>(PyUnicode_DATA(object)),
                              static_cast<std::size_t>(PyUnicode_GET_LENGTH(object)));
      return Kind::kText;
    }
    Py_ssize_t size = 0;
    const char* data = PyUnicode_AsUTF8AndSize(object, &size);  // cached in the object
    if (data == nullptr) throw pybind11::error_already_set();
    text = std::string_view(data, static_cast<std::size_t>(size));
    return Kind::kText;
  }
  if (PyFloat_Check(object)) {
    number = PyFloat_AS_DOUBLE(object);
    return std::isnan(number) ? Kind::kMissing : Kind::kNumber;
  }
  if (object == Py_None || object == gNa || object == gNat) return Kind::kMissing;
  if (PyLong_Check(object)) {
    number = PyLong_AsDouble(object);
    if (number == -1.0 && PyErr_Occurred()) throw pybind11::error_already_set();
    return Kind::kNumber;
  }
  if (PyBytes_Check(object)) {
    text = std::string_view(PyBytes_AS_STRING(object),
                            static_cast<std::size_t>(PyBytes_GET_SIZE(object)));
    return Kind::kText;
  }
  if (PyNumber_Check(object) && !PyComplex_Check(object)) {
    number = PyFloat_AsDouble(object);
    if (number == -1.0 && PyErr_Occurred()) throw pybind11::error_already_set();
    return std::isnan(number) ? Kind::kMissing : Kind::kNumber;
  }
  return Kind::kUnsupported;
}

const char* TypeName(PyObject* object) { return Py_TYPE(object)->tp_name; }

}  // namespace pycell
