#ifndef BNSCORE_PYTHON_NATIVEMODEL_H_
#define BNSCORE_PYTHON_NATIVEMODEL_H_

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <cstddef>
#include <memory>
#include <string>
#include <unordered_set>
#include <vector>

#include "include/bnscore/NumberCellReader.h"
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
  // `target`: the predicted variable of a network in another format ("" for
  // the document's own); the limits as LoadOptions' (0: the defaults).
  // `missing` is "stop" or "marginalize", `unknown` "stop" or "missing"
  // (ValueError otherwise).
  NativeModel(const pybind11::bytes& pmml, bool byName, bool derivedInRecord, bool predictionOnly,
              const std::string& target = {}, std::size_t maxDocumentBytes = 0,
              std::size_t maxNodes = 0, const std::string& missing = "stop",
              const std::string& unknown = "stop");

  // (inputs, target, categories): inputs a list of (name, "number" | "text")
  // in schema order, categories a list of str in output order.
  pybind11::tuple GetSchema() const;
  std::string Display() const;

  // Scores one record given as a dict of field name to value (keys that are
  // not str are ignored, as are fields the model does not read); a number
  // field's cells are read as in Score. Returns (status, prediction index
  // or -1, confidence, probabilities as a list).
  pybind11::tuple ScoreOne(const pybind11::dict& record, bool allowNonfinite) const;

  // Scores `rows` records given as a list of (name, values, mask,
  // categories) tuples (see InputColumn) on `threads` threads; the columns
  // of number fields refuse numbers that are not finite unless
  // `allowNonfinite`. Returns
  // (status int32[rows], prediction int32[rows], confidence float64[rows],
  // probabilities float64[rows, categories]); the last two are None with
  // prediction only.
  pybind11::tuple Score(const pybind11::list& columns, std::size_t rows, int threads,
                        bool allowNonfinite) const;

  // What `bnscore score` writes for the CSV text `csv` (a header row, then
  // records) with these options and the default missing values: the
  // output's bytes. Throws bnscore::Error as bnscore would stop.
  pybind11::bytes ScoreCsv(const pybind11::bytes& csv, bool reason, bool allowMissingColumns,
                           bool allowNonfinite, bool outputHeader) const;

  // The network's nodes: a list of (name, categories as a list of str).
  pybind11::list Nodes() const;
  // Model::Query of one record (a dict, as for ScoreOne) for node indexes
  // into Nodes(): (status, the posteriors as one list).
  pybind11::tuple QueryOne(const pybind11::dict& record, const std::vector<int>& nodes) const;
  // Model::Explain of one record: (status, [(field, value, logOdds), ...]).
  pybind11::tuple ExplainOne(const pybind11::dict& record, std::size_t k) const;

 private:
  // A record given as a dict of field name to value, as cells viewing its
  // keys and texts (keys that are not str are skipped); texts and numbers
  // of number fields read as ScoreOne reads them.
  std::vector<bnscore::NamedCell> RecordCells(const pybind11::dict& record,
                                              bool allowNonfinite) const;
  std::unique_ptr<bnscore::Model> model_;
  std::unordered_set<std::string> numberFields_;
  bnscore::NumberCellReader numberCells_;  // default missing values
};

#endif  // BNSCORE_PYTHON_NATIVEMODEL_H_
