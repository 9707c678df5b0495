#include "python/src/Learn.h"

#include <pybind11/stl.h>

#include "include/bnscore/learn.h"

namespace py = pybind11;

void AddLearn(py::module_& module) {
  module.def(
      "learn",
      [](const py::bytes& csv, const std::string& target, const std::string& structure,
         int maxParents, const std::string& discretize, double alpha, std::size_t maxCategories,
         const std::vector<std::string>& missingValues) {
        bnscore::LearnOptions options;
        options.target = target;
        options.structure = structure;
        options.maxParents = maxParents;
        options.discretize = discretize;
        options.alpha = alpha;
        options.maxCategories = maxCategories;
        options.missingValues = missingValues;
        const std::string_view text = csv;
        bnscore::LearnResult result;
        {
          py::gil_scoped_release unlocked;
          result = bnscore::LearnFromText(text, options, "<data frame>");
        }
        return py::make_tuple(py::bytes(result.pmml), result.notes);
      },
      py::arg("csv"), py::arg("target"), py::arg("structure"), py::arg("max_parents"),
      py::arg("discretize"), py::arg("alpha"), py::arg("max_categories"), py::arg("missing_values"),
      "Learns a classifier from CSV text: (PMML bytes, notes).");
}
