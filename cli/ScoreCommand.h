#ifndef BNSCORE_CLI_SCORECOMMAND_H_
#define BNSCORE_CLI_SCORECOMMAND_H_

#include <ostream>

#include "bnscore/bnscore.h"
#include "cli/ScoreOptions.h"

namespace bnscore::cli {

// `bnscore score`: scores the records of options.recordsPath with `model`
// into options.outputPath, then writes a one-line summary to `summary`.
// The records are read, scored and written by Model::ScoreCsv (CSV or JSON
// Lines, options.inputFormat and outputFormat).
// An output file is written through AtomicOutputFile: it replaces an
// existing file only when the run succeeds. A progress line is shown on a terminal (see
// ProgressMeter). Throws EngineError for file faults, OutputClosed when the
// reader of the output went away, and bnscore::Error for faulty records and
// refused headers (output rows written
// before the fault are kept).
// When records were read but none was scored, a second line says so, with
// the commonest reason (DiagnoseUnscored). Returns the records counted by
// status.
bnscore::CsvSummary RunScore(const bnscore::Model& model, const ScoreOptions& options,
                             std::ostream& summary);

}  // namespace bnscore::cli

#endif  // BNSCORE_CLI_SCORECOMMAND_H_
