#ifndef BNSCORE_CLI_SCORECOMMAND_H_
#define BNSCORE_CLI_SCORECOMMAND_H_

#include <ostream>

#include "bnscore/bnscore.h"
#include "engine/ScoreOptions.h"

// `bnscore score`: scores the CSV records of options.recordsPath with
// `model` (Model::ScoreCsv) into options.outputPath, then writes a one-line
// summary to `summary`. The output file is opened only once the input has
// a header row that passes, and never when it is the input file. Throws
// CliError for file faults, OutputClosed when the reader of the output went
// away, and bnscore::Error for CSV faults and refused headers (output rows
// written before the fault are kept).
void RunScore(const bnscore::Model& model, const ScoreOptions& options, std::ostream& summary);

#endif  // BNSCORE_CLI_SCORECOMMAND_H_
