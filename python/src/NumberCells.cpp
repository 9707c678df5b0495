#include "python/src/NumberCells.h"

#include <cstdint>
#include <limits>
#include <string>
#include <string_view>

#include "include/bnscore/NumberCellReader.h"

namespace py = pybind11;

py::tuple ReadNumberCells(const py::list& texts) {
  static const bnscore::NumberCellReader reader;  // immutable: shared by every call
  const auto count = static_cast<py::ssize_t>(texts.size());
  py::array_t<double> values(count);
  py::array_t<std::int8_t> kinds(count);
  double* value = values.mutable_data();
  std::int8_t* kind = kinds.mutable_data();
  for (py::ssize_t i = 0; i < count; ++i) {
    PyObject* cell = PyList_GET_ITEM(texts.ptr(), i);
    if (!PyUnicode_Check(cell)) {
      throw py::type_error("cell " + std::to_string(i) + " is not a str");
    }
    Py_ssize_t size = 0;
    const char* data = PyUnicode_AsUTF8AndSize(cell, &size);
    if (data == nullptr) throw py::error_already_set();
    value[i] = std::numeric_limits<double>::quiet_NaN();
    kind[i] = static_cast<std::int8_t>(
        reader.Read(std::string_view(data, static_cast<std::size_t>(size)), value[i]));
  }
  return py::make_tuple(values, kinds);
}
