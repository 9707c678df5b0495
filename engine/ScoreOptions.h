#ifndef BNSCORE_ENGINE_SCOREOPTIONS_H_
#define BNSCORE_ENGINE_SCOREOPTIONS_H_

#include <cstddef>
#include <string>
#include <vector>

// The formats of records read and written.
enum class RecordFormat { Csv, JsonLines };

// The options of `bnscore score`.
struct ScoreOptions {
  std::string recordsPath = "-";  // "-": standard input
  std::string outputPath;         // "" or "-": standard output
  bool byName = false;            // records without positional access
  bool derivedInRecord = false;   // records carry the derived fields' values
  bool predictionOnly = false;
  bool keepInput = false;         // copy the input columns to the output
  int threads = 1;                // scoring threads
  std::size_t blockBytes = std::size_t{1} << 18;  // input block, with threads > 1

  // Reading the records.
  char delimiter = ',';  // between fields, in the input and the output
  // Cells that stand for a missing value in numeric columns, besides the
  // empty cell (which always does).
  std::vector<std::string> missingValues = {"NA", "N/A", "NaN", "nan", "null", "NULL"};
  bool allowNonfinite = false;       // keep "inf", "nan" not in missingValues as numbers
  bool allowMissingColumns = false;  // score even when predictor columns are absent
  bool rejectBlankLines = false;     // a blank line is a CSV fault (else skipped, counted)

  bool reason = false;  // add a reason column: why a record has a non-zero status

  // Headerless input (a streaming mapper's partition): when not empty, the
  // input has no header row and these name its columns.
  std::vector<std::string> columns;
  bool outputHeader = true;  // write the output's header row

  bool progress = true;         // a progress line when stderr is a terminal
  int progressIntervalMs = 100;  // between its redraws

  RecordFormat inputFormat = RecordFormat::Csv;
  RecordFormat outputFormat = RecordFormat::Csv;
};

#endif  // BNSCORE_ENGINE_SCOREOPTIONS_H_
