#include "engine/ResultColumns.h"

#include <charconv>

#include "host/NumberText.h"
#include "host/ScoreValueLabel.h"

ResultColumns::ResultColumns(const ScoreModel& model, bool predictionOnly)
    : predictionOnly_(predictionOnly) {
  const ScoreDictVar* target = model.GetTargetVar();
  const ScoreValueLabelSet* labels = target != nullptr ? target->GetValueLabelSet() : nullptr;
  if (labels == nullptr) return;
  for (const ScoreValueLabel* label : labels->GetLabels()) {
    const ScoreValue* value = label->GetValue();
    bool seen = false;
    for (const ScoreValue* category : categories_) seen = seen || *category == *value;
    if (seen) continue;
    categories_.push_back(value);
    NumberTextBuffer buffer;
    categoryTexts_.emplace_back(value->GetStringView(buffer));
    probabilityHeaders_.push_back("probability(" + categoryTexts_.back() + ")");
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
  for (std::size_t i = 0; i < categories_.size(); ++i) {
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
  const ScoreValue* category = categories_[index];
  // The list is normally in category order and holds the very same values.
  if (index < percents.size() &&
      (percents[index].first == category || *percents[index].first == *category)) {
    return &percents[index].second;
  }
  for (const auto& entry : percents) {
    if (*entry.first == *category) return &entry.second;
  }
  return nullptr;
}
