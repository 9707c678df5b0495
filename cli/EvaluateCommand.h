#ifndef BNSCORE_CLI_EVALUATECOMMAND_H_
#define BNSCORE_CLI_EVALUATECOMMAND_H_

#include <ostream>
#include <string>

#include "bnscore/bnscore.h"
#include "cli/ScoreOptions.h"

namespace bnscore::cli {

// The options of `bnscore evaluate`: how to read the records (those of
// `score` that concern input), the column of the known labels, and the
// report's format.
struct EvaluateOptions {
  ScoreOptions score;
  std::string label;  // "" : the target field's name
  bool json = false;  // a JSON object instead of the text report
};

// Scores every record of options.score.recordsPath and compares the
// predictions with the labels of the label column; writes the report to
// `out`. Records whose status is not 0, whose label is missing or whose
// label is no category of the target are counted apart and not evaluated.
// Throws bnscore::Error for CSV faults and for a label column that the input
// lacks, EngineError for file faults.
void RunEvaluate(const bnscore::Model& model, const EvaluateOptions& options, std::ostream& out);

}  // namespace bnscore::cli

#endif  // BNSCORE_CLI_EVALUATECOMMAND_H_
