#ifndef BNSCORE_PYTHON_NATIVEMODEL_H_
#define BNSCORE_PYTHON_NATIVEMODEL_H_

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "include/bnscore/bnscore.h"

// The engine's model as the Python package's `Model` uses it: loading from
// PMML text, the schema, Display, and scoring one mapping or a batch of
// columns into new numpy arrays. Owns the engine model. Immutable, so it
// may score from many Python threads at once; the GIL is released while
// the engine reads the document and while it scores.
class NativeModel {
 public:
  // Throws bnscore::ModelError for a rejected document, bnscore::Error when
  // the plug-in cannot be loaded.
  // `missing` is "stop" or "marginalize", `unknown` "stop" or "missing"
  // (ValueError otherwise).
  NativeModel(const pybind11::bytes& pmml, bool byName, bool derivedInRecord, bool predictionOnly,
              const std::string& missing = "stop", const std::string& unknown = "stop");

  // (inputs, target, categories): inputs a list of (name, "number" | "text")
  // in schema order, categories a list of str in output order.
  pybind11::tuple GetSchema() const;
  std::string Display() const;

  // Scores one record given as a dict of field name to value (keys that are
  // not str are ignored, as are fields the model does not read). Returns
  // (status, prediction index or -1, confidence, probabilities as a list).
  pybind11::tuple ScoreOne(const pybind11::dict& record) const;

  // Scores `rows` records given as a list of (name, values, mask,
  // categories) tuples (see InputColumn) on `threads` threads. Returns
  // (status int32[rows], prediction int32[rows], confidence float64[rows],
  // probabilities float64[rows, categories]); the last two are None with
  // prediction only.
  pybind11::tuple Score(const pybind11::list& columns, std::size_t rows, int threads) const;

  // The network's nodes: a list of (name, categories as a list of str).
  pybind11::list Nodes() const;
  // Model::Query of one record (a dict, as for ScoreOne) for node indexes
  // into Nodes(): (status, the posteriors as one list).
  pybind11::tuple QueryOne(const pybind11::dict& record, const std::vector<int>& nodes) const;
  // Model::Explain of one record: (status, [(field, value, logOdds), ...]).
  pybind11::tuple ExplainOne(const pybind11::dict& record, std::size_t k) const;

 private:
  std::unique_ptr<bnscore::Model> model_;
};

#endif  // BNSCORE_PYTHON_NATIVEMODEL_H_
