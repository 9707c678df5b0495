// The extension module bnscore._native: the engine's model for the Python
// package (bnscore/__init__.py builds the public API on it).
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include "include/bnscore/bnscore.h"
#include "python/src/Learn.h"
#include "python/src/NativeModel.h"
#include "python/src/NumberCells.h"
#include "python/src/PyCell.h"

namespace py = pybind11;

namespace {

// The package's exception classes, registered once at import and held
// until the process ends.
PyObject* gErrorType = nullptr;
PyObject* gModelErrorType = nullptr;

void RegisterErrors(py::object error, py::object modelError) {
  gErrorType = error.release().ptr();
  gModelErrorType = modelError.release().ptr();
}

void TranslateEngineErrors(std::exception_ptr fault) {
  try {
    std::rethrow_exception(fault);
  } catch (const bnscore::ModelError& e) {
    if (gModelErrorType == nullptr) throw;
    // bnscore.ModelError(code, message)
    PyErr_SetObject(gModelErrorType, py::make_tuple(e.GetCode(), e.GetMessage()).ptr());
  } catch (const bnscore::Error& e) {
    if (gErrorType == nullptr) throw;
    PyErr_SetString(gErrorType, e.what());
  }
}

}  // namespace

PYBIND11_MODULE(_native, m) {
  m.doc() = "The scoring engine behind the bnscore package.";
  m.def("register_errors", &RegisterErrors, "Sets the exception classes raised for engine faults.");
  m.def(
      "register_missing_markers",
      [](py::object na, py::object nat) { pycell::SetMissingMarkers(na.ptr(), nat.ptr()); },
      "Sets the objects, besides None and NaN, that stand for a missing value.");
  m.def("read_number_cells", &ReadNumberCells, py::arg("texts"),
        "Reads str cells of a number field as bnscore score reads CSV cells: (values, kinds).");
  py::register_exception_translator(&TranslateEngineErrors);
  AddLearn(m);

  py::class_<NativeModel>(m, "NativeModel")
      .def(py::init<const py::bytes&, bool, bool, bool, const std::string&, std::size_t,
                    std::size_t, const std::string&, const std::string&>(),
           py::arg("pmml"), py::arg("by_name"), py::arg("derived_in_record"),
           py::arg("prediction_only"), py::arg("target") = std::string(),
           py::arg("max_document_bytes") = 0, py::arg("max_nodes") = 0, py::arg("missing") = "stop",
           py::arg("unknown") = "stop")
      .def("nodes", &NativeModel::Nodes)
      .def("query_one", &NativeModel::QueryOne, py::arg("record"), py::arg("nodes"))
      .def("explain_one", &NativeModel::ExplainOne, py::arg("record"), py::arg("k"))
      .def("schema", &NativeModel::GetSchema)
      .def("display", &NativeModel::Display)
      .def("score_one", &NativeModel::ScoreOne, py::arg("record"),
           py::arg("allow_nonfinite") = false)
      .def("score", &NativeModel::Score, py::arg("columns"), py::arg("rows"), py::arg("threads"),
           py::arg("allow_nonfinite") = false)
      .def("score_csv", &NativeModel::ScoreCsv, py::arg("csv"), py::arg("reason") = false,
           py::arg("allow_missing_columns") = false, py::arg("allow_nonfinite") = false,
           py::arg("output_header") = true);
}
