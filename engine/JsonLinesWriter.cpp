#include "engine/JsonLinesWriter.h"

#include <charconv>

#include "engine/JsonText.h"

namespace bnscore::internal {

namespace {

std::string Key(std::string_view name) {
  std::string key;
  AppendJsonString(name, key);
  return key + ':';
}

}  // namespace

JsonLinesWriter::JsonLinesWriter(const std::vector<std::string>& categories,
                                 const std::vector<std::string>& header,
                                 const ScoreOptions& options)
    : keepInput_(options.keepInput),
      predictionOnly_(options.load.predictionOnly),
      reason_(options.reason),
      categories_(categories) {
  for (const std::string& name : header) inputKeys_.push_back(Key(name));
  for (const std::string& category : categories) categoryKeys_.push_back(Key(category));
}

void JsonLinesWriter::WriteRow(int status, int prediction, double confidence,
                               const double* probabilities,
                               const std::vector<std::string_view>& cells,
                               const char* numberCells, std::string_view reason, CsvWriter& out,
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
        AppendJsonString(cells[i], line_);
      }
    }
    line_ += "},";
  }
  char code[24];
  const auto converted = std::to_chars(code, code + sizeof code, status);
  line_ += "\"status\":";
  line_.append(code, converted.ptr);
  line_ += ",\"prediction\":";
  const std::string_view predicted =
      prediction >= 0 ? std::string_view(categories_[static_cast<std::size_t>(prediction)])
                      : std::string_view();
  if (predicted.empty()) {
    line_ += "null";
  } else {
    AppendJsonString(predicted, line_);
  }
  if (predictionOnly_) {
    // The same keys as always, as in the service's replies.
    line_ += ",\"confidence\":null,\"probabilities\":null";
  } else {
    const bool scored = status == 0;
    line_ += ",\"confidence\":";
    line_ += scored ? numbers_.Format(confidence) : "null";
    line_ += ",\"probabilities\":";
    if (scored) {
      for (std::size_t c = 0; c < categoryKeys_.size(); ++c) {
        line_ += c == 0 ? '{' : ',';
        line_ += categoryKeys_[c];
        const double probability = probabilities[c];
        line_ += probability == probability ? numbers_.Format(probability) : "null";
      }
      line_ += categoryKeys_.empty() ? "{}" : "}";
    } else {
      line_ += "null";
    }
  }
  if (reason_) {
    line_ += ",\"reason\":";
    if (reason.empty()) {
      line_ += "null";
    } else {
      AppendJsonString(reason, line_);
    }
  }
  line_ += explanation;
  line_ += "}\n";
  out.WriteRaw(line_);
}

}  // namespace bnscore::internal
