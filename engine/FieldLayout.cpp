#include "engine/FieldLayout.h"

#include <algorithm>
#include <memory>
#include <unordered_set>

#include "engine/RecordFiller.h"
#include "host/data/TransformationDictionary.h"

namespace bnscore::internal {

namespace {

// Appends the names of `dictionary`'s variables but `skip` and those
// already listed.
void AddNames(const ScoreDictionary* dictionary, const std::string& skip,
              std::vector<std::string>& names) {
  if (dictionary == nullptr) return;
  std::vector<ScoreDictVar*> vars;
  dictionary->GetVariables(vars);
  std::unordered_set<std::string> listed(names.begin(), names.end());
  for (const ScoreDictVar* var : vars) {
    if (var->GetName() == skip || !listed.insert(var->GetName()).second) continue;
    names.push_back(var->GetName());
  }
}

}  // namespace

FieldLayout::FieldLayout(const ScoreModel& model, bool derivedInRecord, bool byName) {
  const ScoreDictVar* target = model.GetTargetVar();
  const std::string targetName = target != nullptr ? target->GetName() : std::string();
  AddNames(model.GetDictionary(), targetName, names_);
  if (derivedInRecord || byName) {
    AddNames(model.GetTransformationDictionary(), targetName, names_);
  }
  if (target != nullptr) names_.push_back(targetName);
  numeric_ = NumericColumns(names_, model, derivedInRecord);
  for (std::size_t i = 0; i < names_.size(); ++i) {
    byName_.emplace_back(names_[i], static_cast<int>(i));
  }
  std::sort(byName_.begin(), byName_.end());
  predictor_.assign(names_.size(), 0);
  // GetVarsOfRole makes a new dictionary (or none) that the caller owns.
  const std::unique_ptr<ScoreDictionary> inputs(model.GetVarsOfRole(ScoreModel::InputRole));
  std::vector<ScoreDictVar*> vars;
  if (inputs) inputs->GetVariables(vars);
  for (const ScoreDictVar* var : vars) {
    const int position = Find(var->GetName());
    if (position >= 0) predictor_[static_cast<std::size_t>(position)] = 1;
  }
}

std::vector<std::string> FieldLayout::GetPredictorNames() const {
  return GetMissingPredictors(std::vector<int>(names_.size(), -1));
}

std::vector<std::string> FieldLayout::GetMissingPredictors(const std::vector<int>& columnOf) const {
  std::vector<std::string> missing;
  for (std::size_t i = 0; i < names_.size(); ++i) {
    if (predictor_[i] != 0 && columnOf[i] < 0) missing.push_back(names_[i]);
  }
  return missing;
}

int FieldLayout::Find(std::string_view name) const {
  auto found =
      std::lower_bound(byName_.begin(), byName_.end(), name,
                       [](const auto& entry, std::string_view key) { return entry.first < key; });
  return found != byName_.end() && found->first == name ? found->second : -1;
}

std::vector<int> FieldLayout::MapColumns(const std::vector<std::string>& columns) const {
  std::vector<int> columnOf(names_.size(), -1);
  for (std::size_t i = 0; i < columns.size(); ++i) {
    const int position = Find(columns[i]);
    if (position >= 0 && columnOf[static_cast<std::size_t>(position)] < 0) {
      columnOf[static_cast<std::size_t>(position)] = static_cast<int>(i);
    }
  }
  return columnOf;
}

}  // namespace bnscore::internal
