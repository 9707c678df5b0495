#ifndef BNSCORE_CLI_SCORECOMMAND_H_
#define BNSCORE_CLI_SCORECOMMAND_H_

#include <ostream>
#include <string>

#include "host/ScoreModel.h"

// The options of `bnscore score`.
struct ScoreOptions {
  std::string recordsPath = "-";  // "-": standard input
  std::string outputPath;         // "" or "-": standard output
  bool byName = false;            // records without positional access
  bool derivedInRecord = false;   // records carry the derived fields' values
  bool predictionOnly = false;
  bool keepInput = false;         // copy the input columns to the output
};

// Scores every row of the CSV records with `model` and writes one output
// row per record, in input order; then writes a one-line summary to
// `summary`. Throws CliError for file and CSV faults (output rows written
// before the fault are kept).
void RunScore(ScoreModel& model, const ScoreOptions& options, std::ostream& summary);

#endif  // BNSCORE_CLI_SCORECOMMAND_H_
