#include "host/data/BaseDictionary.h"

BaseDictionary::BaseDictionary() = default;

BaseDictionary::~BaseDictionary() = default;

bool BaseDictionary::AddVariable(const std::string& name, ScoreDictVar* var) {
  std::unique_ptr<ScoreDictVar> owned(var);  // deleted here unless kept
  if (!owned || byName_.count(name) != 0) return false;
  byName_.emplace(name, owned.get());
  vars_.push_back(std::move(owned));
  return true;
}

ScoreDictVar* BaseDictionary::GetVariable(const std::string& name) const {
  auto it = byName_.find(name);
  return it == byName_.end() ? nullptr : it->second;
}

void BaseDictionary::GetVariables(std::vector<ScoreDictVar*>& vars) const {
  vars.clear();
  vars.reserve(vars_.size());
  for (const auto& var : vars_) vars.push_back(var.get());
}
