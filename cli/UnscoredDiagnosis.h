#ifndef BNSCORE_CLI_UNSCOREDDIAGNOSIS_H_
#define BNSCORE_CLI_UNSCOREDDIAGNOSIS_H_

#include <string>

#include "bnscore/bnscore.h"
#include "cli/ScoreOptions.h"

namespace bnscore::cli {

// Why a run scored none of its records, in one phrase: the commonest of
// the records' reasons (StatusReason's), counted over the records, e.g.
//   temperature: 14 of 14 cells are not numbers (e.g. "warm")
//   employment: 3 of 5 cells are no category of the field (e.g. "retired")
//   5 of 5 records: no category has a positive score
//
// Reads the input a second time, so only an input that can be read again:
// a named file, or standard input redirected from a regular file. Returns
// "" for any other (a pipe) or when the input cannot be read again as it
// was (it changed). Reads at most `maxRecords` records, and then says so:
// "(in the first 1000000 records)". Uses `model` on this thread; the run
// must be over.
std::string DiagnoseUnscored(const bnscore::Model& model, const ScoreOptions& options,
                             long maxRecords = 1000000);

}  // namespace bnscore::cli

#endif  // BNSCORE_CLI_UNSCOREDDIAGNOSIS_H_
