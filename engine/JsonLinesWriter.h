#ifndef BNSCORE_ENGINE_JSONLINESWRITER_H_
#define BNSCORE_ENGINE_JSONLINESWRITER_H_

#include <string>
#include <string_view>
#include <vector>

#include "engine/CsvWriter.h"
#include "engine/NumberTextCache.h"
#include "engine/ResultColumns.h"
#include "engine/ScoreOptions.h"
#include "host/interfaces/MCStatus.h"
#include "host/interfaces/ScoreModel.h"
#include "host/interfaces/ScoreResult.h"

// Writes scored records as JSON Lines, one object per record:
//   {"status":0,"prediction":"low","confidence":0.65,
//    "probabilities":{"low":0.65,"medium":0.3,"high":0.05}}
// with the target's categories in their order. When the status is not 0,
// "confidence" and "probabilities" are null, and so is "prediction" when
// there is none (or its text is empty). With predictionOnly only "status" and "prediction"; with
// reason a last "reason" (null for status 0); with keepInput a first
// "input" object of the input's cells by column (null for an empty cell;
// a number when the input gave one, else a string). Numbers have the
// shortest digits that read back to the same double, as in the CSV output.
//
// Borrows the model's categories: the model must outlive this object. One
// object per thread; writing a line allocates nothing once its text has
// reached its working size.
class JsonLinesWriter {
 public:
  JsonLinesWriter(const ScoreModel& model, const std::vector<std::string>& header,
                  const ScoreOptions& options);

  // `numberCells`: per cell, 1 when it holds a JSON number (null: none
  // does). `reason` is written only when reasons were asked for;
  // `explanation`, a member that ExplainColumns::Json made, last.
  void WriteRow(const MCScore::MCStatus& status, const ScoreResult* result,
                const std::vector<std::string_view>& cells, const std::vector<char>* numberCells,
                std::string_view reason, CsvWriter& out, std::string_view explanation = {});

 private:
  bool keepInput_;
  bool predictionOnly_;
  bool reason_;
  ResultColumns columns_;
  std::vector<std::string> inputKeys_;     // "\"name\":" per input column
  std::vector<std::string> categoryKeys_;  // "\"category\":" per category
  NumberTextCache numbers_;
  NumberTextBuffer text_;
  std::string line_;
};

#endif  // BNSCORE_ENGINE_JSONLINESWRITER_H_
