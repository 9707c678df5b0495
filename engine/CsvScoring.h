#ifndef BNSCORE_ENGINE_CSVSCORING_H_
#define BNSCORE_ENGINE_CSVSCORING_H_

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "bnscore/bnscore.h"
#include "engine/CsvReader.h"
#include "engine/FieldLayout.h"
#include "engine/WorkerPool.h"
#include "engine/ScoreOptions.h"
#include "host/interfaces/ScoreModel.h"

namespace bnscore::internal {

// The names of the input's columns: options.columns when given (input
// without a header row), else the reader's first row (EngineError when the
// input is empty).
std::vector<std::string> ReadHeader(CsvReader& reader, const ScoreOptions& options);
// The same with the rows read by `readRow` into `reader` (blocks of input
// handed to a block reader, say). The one place where a header is read.
std::vector<std::string> ReadHeader(const CsvReader& reader, const ScoreOptions& options,
                                    const std::function<bool()>& readRow);

// Refuses a header that lacks predictor columns (a misspelt name, another
// delimiter), unless options.allowMissingColumns, and one that names a
// field the model reads twice. `layout` is the model's, for the options'
// load options. Throws EngineError naming `inputName` and the columns
// missing and those the header has, or the repeated name and its two
// (1-based) column numbers.
void CheckPredictorColumns(const std::vector<std::string>& header, const FieldLayout& layout,
                           const ScoreOptions& options, const std::string& inputName);

// The names of the output's header row, the input's first with keepInput.
// Throws EngineError for an input column whose name the result columns repeat.
std::vector<std::string> OutputNames(const std::vector<std::string>& header,
                                     const ScoreModel& model, const ScoreOptions& options,
                                     const std::string& inputName);

// The summary of records counted by status (CsvColumnBlock::AddStatusCounts)
// and of `blankLines` skipped.
bnscore::CsvSummary Summarise(const std::map<long, long>& statusCounts, long blankLines);

// What scoring CSV needs of a loaded model: the model itself, whose column
// path (Model::Score) scores the rows, the host model it read (for the
// header checks and the reasons), its record layout and its worker threads.
// Borrowed.
struct CsvModel {
  const bnscore::Model& api;
  const ScoreModel& host;
  const FieldLayout& layout;
  WorkerPool& workers;
};

// Scores every CSV record of `input` with `model` and writes one output row
// per record to `output`, in input order, after the header row (unless
// options.outputHeader is off), which is written out at once, so that the
// output exists as soon as the input has a header. Calls
// options.recordsWritten as rows are written. Returns the records counted
// by status. Throws EngineError (a CsvError naming `inputName` and the
// line) for an empty input and CSV faults, after writing the rows before
// the fault; what the source or the sink throws goes through.
//
// The rows are read into blocks of columns (CsvColumnBlock), each scored
// through the model's column path and written from its output arrays.
// With one thread the blocks are read, scored and written one after the
// other. With more, the first record is scored alone, and then blocks of
// about options.blockBytes of input are scored on options.threads threads
// in all (the calling thread and options.threads - 1 of the model's
// workers) and written in input order; the output is the same.
bnscore::CsvSummary ScoreCsvRecords(const CsvModel& model, const ScoreOptions& options,
                                    bnscore::ByteSource& input, const std::string& inputName,
                                    bnscore::ByteSink& output);

}  // namespace bnscore::internal

#endif  // BNSCORE_ENGINE_CSVSCORING_H_
