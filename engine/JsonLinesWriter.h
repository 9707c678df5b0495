#ifndef BNSCORE_ENGINE_JSONLINESWRITER_H_
#define BNSCORE_ENGINE_JSONLINESWRITER_H_

#include <string>
#include <string_view>
#include <vector>

#include "bnscore/JsonText.h"
#include "engine/CsvWriter.h"
#include "engine/ScoreOptions.h"

namespace bnscore::internal {

// Writes scored records as JSON Lines, one object per record:
//   {"status":0,"prediction":"low","confidence":0.65,
//    "probabilities":{"low":0.65,"medium":0.3,"high":0.05}}
// with the target's categories in their order: the members of the
// service's replies, written by the same JsonOutcomeWriter (which says
// when they are null); with reason a last "reason" (null for status 0); with keepInput a first
// "input" object of the input's cells by column (null for an empty cell;
// a number when the input gave one, else a string). Numbers have the
// shortest digits that read back to the same double, as in the CSV output.
//
// One object per thread; writing a line allocates nothing once its text
// has reached its working size.
class JsonLinesWriter {
 public:
  // `categories`: the target's categories in output order.
  JsonLinesWriter(const std::vector<std::string>& categories,
                  const std::vector<std::string>& header, const ScoreOptions& options);

  // Writes one record's line from its outcome: `prediction` indexes the
  // categories (-1: none); `probabilities` holds one entry per category
  // (NaN: the record has none), or is null with predictionOnly.
  // `numberCells`: per cell, 1 when it holds a JSON number (null: none
  // does). `reason` is written only when reasons were asked for;
  // `explanation`, a member that ExplainColumns::Json made, last.
  void WriteRow(int status, int prediction, double confidence, const double* probabilities,
                const std::vector<std::string_view>& cells, const char* numberCells,
                std::string_view reason, CsvWriter& out, std::string_view explanation = {});

 private:
  bool keepInput_;
  bool reason_;
  bnscore::JsonOutcomeWriter outcome_;
  std::vector<std::string> inputKeys_;  // "\"name\":" per input column
  std::string line_;
};

}  // namespace bnscore::internal

#endif  // BNSCORE_ENGINE_JSONLINESWRITER_H_
