#include "engine/TargetCategories.h"

#include <unordered_set>

#include "host/interfaces/ScoreValueLabel.h"

namespace bnscore::internal {

namespace {

// a == b for the short texts of category labels, without a call to memcmp
// (which costs more than the comparison itself).
bool SameText(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = a.size(); i-- > 0;) {
    if (a[i] != b[i]) return false;
  }
  return true;
}

}  // namespace

TargetCategories::TargetCategories(const ScoreModel& model) {
  const ScoreDictVar* target = model.GetTargetVar();
  const ScoreValueLabelSet* labels = target != nullptr ? target->GetValueLabelSet() : nullptr;
  if (labels == nullptr) return;
  // The categories seen, by value, so that each label costs one lookup
  // whatever the number of categories (ScoreValue's ==: texts exactly,
  // other values by their double, where 0 and -0 are equal and NaN equals
  // nothing, as in the hash sets).
  std::unordered_set<std::string> seenTexts;
  std::unordered_set<double> seenNumbers;
  for (const ScoreValueLabel* label : labels->GetLabels()) {
    const ScoreValue* value = label->GetValue();
    NumberTextBuffer buffer;
    const std::string_view text = value->GetStringView(buffer);
    const bool isText = value->GetType() == ScoreValue::String;
    const bool isNew =
        isText ? seenTexts.emplace(text).second : seenNumbers.insert(value->GetDouble()).second;
    if (!isNew) continue;
    values_.push_back(value);
    labels_.emplace_back(text);
    types_.push_back(value->GetType());
    numbers_.push_back(isText ? 0.0 : value->GetDouble());
  }
}

int TargetCategories::IndexOf(const ScoreValue* value) const {
  if (value == nullptr) return -1;
  const ScoreValue::ValueType type = value->GetType();
  if (type == ScoreValue::String) {
    NumberTextBuffer buffer;
    const std::string_view text = value->GetStringView(buffer);
    for (std::size_t i = 0; i < values_.size(); ++i) {
      if (types_[i] == type && SameText(labels_[i], text)) return static_cast<int>(i);
    }
  } else {
    const double number = value->GetDouble();
    for (std::size_t i = 0; i < values_.size(); ++i) {
      if (types_[i] == type && numbers_[i] == number) return static_cast<int>(i);
    }
  }
  return -1;
}

int TargetCategories::FindEntry(
    std::size_t index, const std::vector<std::pair<const ScoreValue*, double>>& percents) const {
  const ScoreValue* category = values_[index];
  // The list is normally in category order and holds the very same values.
  if (index < percents.size() &&
      (percents[index].first == category || *percents[index].first == *category)) {
    return static_cast<int>(index);
  }
  for (std::size_t i = 0; i < percents.size(); ++i) {
    if (*percents[i].first == *category) return static_cast<int>(i);
  }
  return -1;
}

}  // namespace bnscore::internal
