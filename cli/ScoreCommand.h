#ifndef BNSCORE_CLI_SCORECOMMAND_H_
#define BNSCORE_CLI_SCORECOMMAND_H_

#include <cstddef>
#include <ostream>
#include <string>
#include <vector>

#include "engine/CsvReader.h"

#include "engine/ScoreOptions.h"
#include "host/ScoreModel.h"

// Scores every row of the CSV records with `model` and writes one output
// row per record, in input order; then writes a one-line summary to
// `summary`. Throws CliError for file and CSV faults (output rows written
// before the fault are kept).
//
// With one thread the rows are read, scored and written one after the
// other. With more, the first record is scored alone (the model's one-time
// setup runs there), and then blocks of about `blockBytes` of input are
// scored on `threads` worker threads and written in input order; the
// output is the same.
void RunScore(ScoreModel& model, const ScoreOptions& options, std::ostream& summary);

// The names of the input's columns: options.columns when given, else the
// reader's first row (CliError when the input is empty).
std::vector<std::string> ReadHeader(CsvReader& reader, const ScoreOptions& options);

// Refuses a header that lacks predictor columns (a misspelt name, another
// delimiter), unless options.allowMissingColumns. Throws CliError.
void CheckPredictorColumns(const std::vector<std::string>& header, const ScoreModel& model,
                           const ScoreOptions& options, const std::string& inputName);

#endif  // BNSCORE_CLI_SCORECOMMAND_H_
