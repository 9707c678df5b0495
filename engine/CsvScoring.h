#ifndef BNSCORE_ENGINE_CSVSCORING_H_
#define BNSCORE_ENGINE_CSVSCORING_H_

#include <string>

#include "bnscore/bnscore.h"
#include "engine/ScoreOptions.h"
#include "host/ScoreModel.h"

// Scores every CSV record of `input` with `model` and writes one output row
// per record to `output`, in input order, after the header row (which is
// written out at once, so that the output exists as soon as the input has
// a header). Returns the records counted by status. Throws CliError (a
// CsvError naming `inputName` and the line) for an empty input and CSV
// faults, after writing the rows before the fault; what the source or the
// sink throws goes through.
//
// With one thread the rows are read, scored and written one after the
// other. With more, the first record is scored alone, and then blocks of
// about options.blockBytes of input are scored on options.threads worker
// threads and written in input order; the output is the same.
//
// The model must have run its one-time set-up (scored a record) and have
// its prediction-only setting from `options`.
bnscore::CsvSummary ScoreCsvRecords(ScoreModel& model, const ScoreOptions& options,
                                    bnscore::ByteSource& input, const std::string& inputName,
                                    bnscore::ByteSink& output);

#endif  // BNSCORE_ENGINE_CSVSCORING_H_
