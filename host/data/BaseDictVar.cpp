#include "host/data/BaseDictVar.h"

#include <ostream>
#include <utility>

namespace {

const char* ValueTypeName(int valueType) { return valueType == 0 ? "numeric" : "string"; }

const char* MeasureName(int measure) {
  switch (measure) {
    case ScoreDictVar::Continuous:
      return "continuous";
    case ScoreDictVar::Categorical:
      return "categorical";
    case ScoreDictVar::Ordinal:
      return "ordinal";
    default:
      return "unknown";
  }
}

}  // namespace

BaseDictVar::BaseDictVar(std::string name, int valueType, int measure)
    : name_(std::move(name)), valueType_(valueType), measure_(measure) {}

BaseDictVar::~BaseDictVar() = default;

void BaseDictVar::AddValueLabel(std::unique_ptr<ScoreValue> value, std::string label) {
  if (!labels_) labels_ = std::make_unique<ScoreValueLabelSet>();
  labels_->AddLabel(std::move(value), std::move(label));
}

void BaseDictVar::AddMissingValue(std::unique_ptr<ScoreValue> value) {
  if (value) missingValues_.push_back(std::move(value));
}

ScoreDictVar* BaseDictVar::Clone() const {
  auto copy = std::make_unique<BaseDictVar>(name_, valueType_, measure_);
  copy->index_ = index_;
  if (labels_) copy->labels_ = labels_->Clone();
  for (const auto& missing : missingValues_) {
    copy->missingValues_.emplace_back(missing->Clone());
  }
  return copy.release();
}

bool BaseDictVar::IsMissingValue(const ScoreValue* value) const {
  if (value == nullptr || value->IsSystemMissingValue()) return true;
  for (const auto& missing : missingValues_) {
    if (*missing == *value) return true;
  }
  return false;
}

void BaseDictVar::Display(std::ostream& os) const {
  NumberTextBuffer buffer;
  os << name_ << " (" << ValueTypeName(valueType_) << ", " << MeasureName(measure_) << ") index "
     << index_ << ", " << GetNumCategories() << " categories";
  if (labels_ && labels_->GetNumLabels() > 0) {
    os << ":";
    for (const ScoreValueLabel* label : labels_->GetLabels()) {
      os << ' ';
      if (label->GetValue() != nullptr) os << label->GetValue()->GetStringView(buffer);
      os << "=\"" << label->GetLabel() << '"';
    }
  }
  if (!missingValues_.empty()) {
    os << "; missing:";
    for (const auto& missing : missingValues_) os << ' ' << missing->GetStringView(buffer);
  }
  os << '\n';
}

int BaseDictVar::GetNumCategories() const { return labels_ ? labels_->GetNumLabels() : 0; }
