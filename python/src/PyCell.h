#ifndef BNSCORE_PYTHON_PYCELL_H_
#define BNSCORE_PYTHON_PYCELL_H_

#include <Python.h>

#include <string_view>

// Reading one Python object as a record cell. Call with the GIL held.
namespace pycell {

enum class Kind { kMissing, kNumber, kText, kUnsupported };

// Registers the objects that stand for a missing value besides None and a
// NaN float (pandas' NA and NaT). Keeps a reference to each for the life of
// the process.
void SetMissingMarkers(PyObject* na, PyObject* nat);

// Reads `object`: None, NaN and the missing markers are kMissing; str and
// bytes are kText (`text` then points into the object, which the caller
// keeps alive); int, bool, float and anything else that converts to float
// (numpy scalars) are kNumber. Anything else is kUnsupported. Throws
// pybind11::error_already_set when a conversion raised (an int too large
// for a double).
Kind Read(PyObject* object, double& number, std::string_view& text);

// The name of `object`'s type, for messages.
const char* TypeName(PyObject* object);

}  // namespace pycell

#endif  // BNSCORE_PYTHON_PYCELL_H_
