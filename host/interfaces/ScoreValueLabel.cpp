#include "host/interfaces/ScoreValueLabel.h"

#include <utility>

ScoreValueLabel::ScoreValueLabel(std::unique_ptr<ScoreValue> value, std::string label)
    : value_(std::move(value)), label_(std::move(label)) {}

ScoreValueLabel::~ScoreValueLabel() = default;

ScoreValueLabelSet::ScoreValueLabelSet() = default;

ScoreValueLabelSet::~ScoreValueLabelSet() = default;

std::unique_ptr<ScoreValueLabelSet> ScoreValueLabelSet::Clone() const {
  auto copy = std::make_unique<ScoreValueLabelSet>();
  for (const auto& label : labels_) {
    const ScoreValue* value = label->GetValue();
    copy->AddLabel(std::unique_ptr<ScoreValue>(value != nullptr ? value->Clone() : nullptr),
                   label->GetLabel());
  }
  return copy;
}

void ScoreValueLabelSet::AddLabel(std::unique_ptr<ScoreValue> value, std::string label) {
  labels_.push_back(std::make_unique<ScoreValueLabel>(std::move(value), std::move(label)));
  view_.push_back(labels_.back().get());
}
