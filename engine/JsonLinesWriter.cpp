#include "engine/JsonLinesWriter.h"

#include "bnscore/JsonText.h"

namespace bnscore::internal {

namespace {

std::string Key(std::string_view name) {
  std::string key;
  bnscore::AppendJsonString(key, name);
  return key + ':';
}

}  // namespace

JsonLinesWriter::JsonLinesWriter(const std::vector<std::string>& categories,
                                 const std::vector<std::string>& header,
                                 const ScoreOptions& options)
    : keepInput_(options.keepInput),
      reason_(options.reason),
      outcome_(categories, options.load.predictionOnly) {
  for (const std::string& name : header) inputKeys_.push_back(Key(name));
}

void JsonLinesWriter::WriteRow(int status, int prediction, double confidence,
                               const double* probabilities,
                               const std::vector<std::string_view>& cells, const char* numberCells,
                               std::string_view reason, CsvWriter& out,
                               std::string_view explanation) {
  line_.clear();
  line_ += '{';
  if (keepInput_) {
    line_ += "\"input\":{";
    for (std::size_t i = 0; i < cells.size() && i < inputKeys_.size(); ++i) {
      if (i > 0) line_ += ',';
      line_ += inputKeys_[i];
      if (cells[i].empty()) {
        line_ += "null";
      } else if (numberCells != nullptr && numberCells[i] != 0) {
        line_ += cells[i];
      } else {
        bnscore::AppendJsonString(line_, cells[i]);
      }
    }
    line_ += "},";
  }
  outcome_.Append(bnscore::Outcome{status, prediction, confidence}, probabilities, line_);
  if (reason_) {
    line_ += ",\"reason\":";
    if (reason.empty()) {
      line_ += "null";
    } else {
      bnscore::AppendJsonString(line_, reason);
    }
  }
  line_ += explanation;
  line_ += "}\n";
  out.WriteRaw(line_);
}

}  // namespace bnscore::internal
