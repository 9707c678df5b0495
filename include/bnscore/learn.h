// Learning Bayesian-network classifiers from CSV data: the result is a
// BayesNetModel document that bnscore::Model::Load (and every front end)
// scores.
#ifndef BNSCORE_LEARN_H_
#define BNSCORE_LEARN_H_

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "bnscore/bnscore.h"

namespace bnscore {

struct LearnOptions {
  std::string target;  // the column to predict (required)
  // "naive", "tan", "k2", or "given:FILE" (a network in BIF, XMLBIF or a
  // PMML dialect whose variables are columns: its arcs are taken as they
  // stand and only the tables are learned).
  std::string structure = "naive";
  // k2: the most parents a node may get (the target counts as one).
  int maxParents = 2;
  // How numeric columns are binned: "mdl" (supervised, minimum description
  // length), "equal-width:K" or "equal-frequency:K".
  std::string discretize = "mdl";
  // The prior count added to every cell of a table: P(x | pa) =
  // (N(x, pa) + alpha) / (N(pa) + alpha * |X|). 0 gives maximum likelihood.
  double alpha = 0.5;
  char delimiter = ',';
  // Cells that are missing values besides the empty cell, in every column.
  std::vector<std::string> missingValues = {"NA", "N/A", "NaN", "nan", "null", "NULL"};
  // A categorical predictor with more distinct values than this is dropped;
  // a target with more is refused.
  std::size_t maxCategories = 1000;
};

struct LearnResult {
  std::string pmml;  // the BayesNetModel document
  // What was decided along the way, one line each: columns dropped and why,
  // the rows read, the arcs found.
  std::vector<std::string> notes;
};

// Learns from the CSV file at `path` (a header row naming the columns, then
// one row per case). The file is read once per pass the structure needs.
// Throws bnscore::Error naming the file and line for CSV faults, and for a
// target that is absent, has fewer than two values or too many.
BNSCORE_API LearnResult Learn(const std::string& path, const LearnOptions& options);

// The same from CSV text in memory; `name` names it in messages.
BNSCORE_API LearnResult LearnFromText(std::string_view csv, const LearnOptions& options,
                                      const std::string& name = "<data>");

}  // namespace bnscore

#endif  // BNSCORE_LEARN_H_
