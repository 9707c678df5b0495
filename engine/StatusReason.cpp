#include "engine/StatusReason.h"

#include "bnscore/bnscore.h"

#include "engine/DecimalText.h"
#include "host/data/NumericValue.h"
#include "host/data/StringValue.h"
#include "host/data/TransformationDictionary.h"
#include "host/interfaces/ScoreValueLabel.h"
#include "host/text/NumberText.h"

namespace bnscore::internal {

namespace {

// True when `var` declares categories and `value` is none of them.
bool IsUnknownCategory(const ScoreDictVar& var, const ScoreValue& value) {
  const ScoreValueLabelSet* labels = var.GetValueLabelSet();
  if (labels == nullptr || labels->GetLabels().empty()) return false;
  for (const ScoreValueLabel* label : labels->GetLabels()) {
    if (*label->GetValue() == value) return false;
  }
  return true;
}

}  // namespace

StatusReason::StatusReason(const ScoreModel& model, const FieldLayout& layout,
                           const std::vector<int>& columnOf, const ScoreOptions& options)
    : rules_(options.missingValues, options.allowNonfinite),
      data_(model.GetDictionary()),
      computed_(options.load.derivedInRecord ? nullptr : model.GetTransformationDictionary()) {
  for (int position = 0; position < layout.Size(); ++position) {
    if (!layout.IsPredictor(position) || data_ == nullptr) continue;
    const std::size_t field = static_cast<std::size_t>(position);
    const ScoreDictVar* var = data_->GetVariable(layout.GetNames()[field]);
    if (var != nullptr) fields_.push_back({var, columnOf[field], false});
  }
  const TransformationDictionary* derived = model.GetTransformationDictionary();
  // Records that carry derived values, or are read by name, may give a
  // derived predictor its value themselves.
  if ((options.load.derivedInRecord || options.load.byName) && derived != nullptr) {
    std::vector<ScoreDictVar*> vars;
    derived->GetVariables(vars);
    for (const ScoreDictVar* var : vars) {
      const int position = layout.Find(var->GetName());
      const int column = position >= 0 ? columnOf[static_cast<std::size_t>(position)] : -1;
      if (column >= 0) fields_.push_back({var, column, !options.load.derivedInRecord});
    }
  }
}

StatusReason::~StatusReason() = default;

std::string_view StatusReason::Explain(long status, const std::vector<std::string_view>& cells,
                                       const ScoreCaseRecord& record) {
  if (status == bnscore::kScored) return {};
  if (status == bnscore::kNoPositiveScore) return "no category has a positive score";
  if (status == bnscore::kMissingPredictor) {
    for (const Field& field : fields_) {
      if (FindFault(field, cells)) return text_;
    }
    if (FindDerivedFault(record)) return text_;
    return "a predictor has no usable value";
  }
  text_ = "status " + std::to_string(status);
  return text_;
}

bool StatusReason::FindFault(const Field& field, const std::vector<std::string_view>& cells) {
  const ScoreDictVar& var = *field.var;
  if (field.column < 0) {
    text_ = var.GetName() + ": missing (no such column)";
    return true;
  }
  std::string_view cell = cells[static_cast<std::size_t>(field.column)];
  if (cell.empty() && field.emptyIsComputed) return false;
  const bool isFault =
      var.GetValueType() == 0 ? FindNumberFault(var, cell) : FindTextFault(var, cell);
  if (isFault) text_.insert(0, var.GetName() + ": ");
  return isFault;
}

bool StatusReason::FindNumberFault(const ScoreDictVar& var, std::string_view cell) {
  double number;
  if (rules_.IsMissingValue(cell)) {
    text_ = "missing";
    return true;
  }
  if (!ParsePlainDecimal(cell, number) && !ParseNumber(cell, number)) {
    text_ = "not a number \"" + std::string(cell) + "\"";
    return true;
  }
  const NumericValue value(number);
  if (var.IsMissingValue(&value)) {
    text_ = "missing";
    return true;
  }
  if (var.GetMeasure() != ScoreDictVar::Continuous && IsUnknownCategory(var, value)) {
    text_ = "unknown category \"" + std::string(cell) + "\"";
    return true;
  }
  return false;
}

bool StatusReason::FindTextFault(const ScoreDictVar& var, std::string_view cell) {
  const StringValue value{std::string(cell)};
  // A category that is also a missing-value token is a category here.
  if (!cell.empty() && !IsUnknownCategory(var, value)) return false;
  if (rules_.IsMissingValue(cell) || var.IsMissingValue(&value)) {
    text_ = "missing";
    return true;
  }
  if (IsUnknownCategory(var, value)) {
    text_ = "unknown category \"" + std::string(cell) + "\"";
    return true;
  }
  return false;
}

bool StatusReason::FindDerivedFault(const ScoreCaseRecord& record) {
  if (computed_ == nullptr) return false;
  const ScoreCaseRecord* values = computed_->GetValuesForDeriedVars(&record, data_);
  if (values == nullptr) return false;
  std::vector<ScoreDictVar*> vars;
  computed_->GetVariables(vars);
  for (const ScoreDictVar* var : vars) {
    const ScoreValue* value = values->GetValue(var->GetName());
    if (value == nullptr || var->IsMissingValue(value)) {
      text_ = var->GetName() + ": missing (derived)";
      return true;
    }
    if (IsUnknownCategory(*var, *value)) {
      NumberTextBuffer buffer;
      text_ = var->GetName() + ": unknown category \"" + std::string(value->GetStringView(buffer)) +
              "\" (derived)";
      return true;
    }
  }
  return false;
}

}  // namespace bnscore::internal
