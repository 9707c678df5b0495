#include "engine/ResultColumns.h"

#include <charconv>

#include "host/text/NumberText.h"

ResultColumns::ResultColumns(const ScoreModel& model, bool predictionOnly)
    : predictionOnly_(predictionOnly), categories_(model) {
  for (const std::string& label : categories_.GetLabels()) {
    probabilityHeaders_.push_back("probability(" + label + ")");
  }
}

void ResultColumns::WriteHeader(CsvWriter& out) const {
  for (const std::string& name : GetNames()) out.WriteField(name);
}

std::vector<std::string> ResultColumns::GetNames() const {
  std::vector<std::string> names = {"status", "prediction"};
  if (predictionOnly_) return names;
  names.push_back("confidence");
  names.insert(names.end(), probabilityHeaders_.begin(), probabilityHeaders_.end());
  return names;
}

void ResultColumns::WriteRow(const MCScore::MCStatus& status, const ScoreResult* result,
                             CsvWriter& out) {
  char code[24];
  auto converted = std::to_chars(code, code + sizeof code, status.GetCode());
  out.WriteUnquotedField(std::string_view(code, static_cast<std::size_t>(converted.ptr - code)));

  const ScoreValue* prediction = result != nullptr ? result->GetPrediction() : nullptr;
  out.WriteField(prediction != nullptr ? prediction->GetStringView(text_) : std::string_view());
  if (predictionOnly_) return;

  const bool scored = status.GetCode() == 0 && result != nullptr;
  out.WriteUnquotedField(scored ? numbers_.Format(result->GetConfidence()) : std::string_view());
  for (std::size_t i = 0; i < categories_.Size(); ++i) {
    const double* percent = scored ? GetProbability(i, result) : nullptr;
    out.WriteUnquotedField(percent != nullptr ? numbers_.Format(*percent) : std::string_view());
  }
}

const double* ResultColumns::GetProbability(std::size_t index, const ScoreResult* result) {
  if (result != lastResult_) {
    lastResult_ = result;
    lastClsResult_ = dynamic_cast<const ScoreClsResult*>(result);
  }
  return lastClsResult_ != nullptr ? FindPercent(index, *lastClsResult_) : nullptr;
}

const double* ResultColumns::FindPercent(std::size_t index, const ScoreClsResult& result) const {
  const auto& percents = result.GetAllValuePercent();
  const int entry = categories_.FindEntry(index, percents);
  return entry >= 0 ? &percents[static_cast<std::size_t>(entry)].second : nullptr;
}
