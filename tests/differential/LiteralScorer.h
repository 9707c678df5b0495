#ifndef TESTS_DIFFERENTIAL_LITERALSCORER_H_
#define TESTS_DIFFERENTIAL_LITERALSCORER_H_

#include <map>
#include <string>

#include "host/interfaces/MCStatus.h"
#include "host/interfaces/ScoreCaseRecord.h"
#include "host/interfaces/ScoreResult.h"
#include "bayesnet/model/BayesNetModel.h"

// What a node's factor is where its table has no row: a parent
// configuration the table leaves out, or a parentless node without a table.
// The dialect makes it uniform over the node's categories when the document
// names the learning method "adjustedBayes", and 0 otherwise. The test fills
// it from what it wrote into the document, not from the model read, so that
// a reader or a plan that gets the rule wrong disagrees with the oracle.
struct ExpectedFallback {
  bool uniform = false;                   // the document says adjustedBayes
  std::map<std::string, int> categories;  // per node, the categories the document gives it
  // 1 / categories, 1 for a node of no known category, 0 unless uniform.
  double For(const std::string& node) const;
};

// The scoring algorithm written out literally, record by record and name by
// name, from the model's public state (its tables, arcs, encoders and
// target) and `fallback`: the oracle the compiled plan is tested against.
// Scores `record` with `model` as BayesNetModel::GetScore must, filling
// `result` (reused when it is a Bayes-net result, else replaced).
// REQUIRES: the model has seen an indexed record before an indexed `record`
// is given (GetScore stores the record positions; this function only reads
// them).
MCScore::MCStatus ScoreLiterally(const BayesNetModel& model, const ScoreCaseRecord* record,
                                 ScoreResult*& result, bool derivedInRecord,
                                 const ExpectedFallback& fallback);

#endif  // TESTS_DIFFERENTIAL_LITERALSCORER_H_
