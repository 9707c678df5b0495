#include "engine/TargetCategories.h"

#include "host/ScoreValueLabel.h"

TargetCategories::TargetCategories(const ScoreModel& model) {
  const ScoreDictVar* target = model.GetTargetVar();
  const ScoreValueLabelSet* labels = target != nullptr ? target->GetValueLabelSet() : nullptr;
  if (labels == nullptr) return;
  for (const ScoreValueLabel* label : labels->GetLabels()) {
    const ScoreValue* value = label->GetValue();
    if (IndexOf(value) >= 0) continue;
    values_.push_back(value);
    NumberTextBuffer buffer;
    labels_.emplace_back(value->GetStringView(buffer));
  }
}

int TargetCategories::IndexOf(const ScoreValue* value) const {
  if (value == nullptr) return -1;
  for (std::size_t i = 0; i < values_.size(); ++i) {
    if (values_[i] == value) return static_cast<int>(i);
  }
  for (std::size_t i = 0; i < values_.size(); ++i) {
    if (*values_[i] == *value) return static_cast<int>(i);
  }
  return -1;
}

const double* TargetCategories::FindPercent(std::size_t index, const ScoreClsResult& result) const {
  const auto& percents = result.GetAllValuePercent();
  const ScoreValue* category = values_[index];
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
