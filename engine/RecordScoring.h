#ifndef BNSCORE_ENGINE_RECORDSCORING_H_
#define BNSCORE_ENGINE_RECORDSCORING_H_

#include <string>

#include "bnscore/bnscore.h"
#include "engine/CsvScoring.h"
#include "engine/ScoreOptions.h"

namespace bnscore::internal {

// Scores the records of `input` (CSV or JSON Lines, options.inputFormat)
// with `model` and writes one output row or JSON Lines object per record to
// `output` (options.outputFormat), in input order. With one thread, blocks
// of records read (RecordSource), scored through the model's column path
// (CsvColumnBlock) and written in turn; with more, the first record is
// scored alone and then blocks of lines on options.threads threads in all
// (ParallelScoring), with the same output. What ScoreCsvRecords does for
// CSV in and out, for any other pair of formats. Returns the records
// counted by status. Throws EngineError (CsvError naming `inputName` and
// the line) for refused columns and faulty records, after writing the
// records before the fault; what the source or the sink throws goes
// through.
bnscore::CsvSummary ScoreRecordBlocks(const CsvModel& model, const ScoreOptions& options,
                                      bnscore::ByteSource& input, const std::string& inputName,
                                      bnscore::ByteSink& output);

// The same records read and scored, each one's outcome handed to `sink`
// (with its line and cells, and with options.reason its reason) instead of
// written. Throws as ScoreRecordBlocks, after the records before a fault
// reached the sink; what the sink throws goes through.
bnscore::CsvSummary ScoreRecordsInto(const CsvModel& model, const ScoreOptions& options,
                                     bnscore::ByteSource& input, const std::string& inputName,
                                     bnscore::OutcomeSink& sink);

}  // namespace bnscore::internal

#endif  // BNSCORE_ENGINE_RECORDSCORING_H_
