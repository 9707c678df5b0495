#include "host/data/BaseModel.h"

#include <vector>

BaseModel::BaseModel() = default;

BaseModel::~BaseModel() = default;

void BaseModel::SetScoreDictionary(ScoreDictionary* dictionary) { dictionary_.reset(dictionary); }

void BaseModel::SetTransformationScoreDictionary(TransformationDictionary* dictionary) {
  transformation_.reset(dictionary);
}

void BaseModel::SetVersionInfo(ScoreVersionInfo* info) { version_.reset(info); }

bool BaseModel::SetVarRole(const std::string& name, VarRole role) {
  if (!dictionary_ || dictionary_->GetVariable(name) == nullptr) return false;
  roles_[name] = role;
  return true;
}

bool BaseModel::SetVarRole(const ScoreDictVar* var, VarRole role) {
  return var != nullptr && SetVarRole(var->GetName(), role);
}

int BaseModel::GetVarRole(const std::string& name) const {
  auto it = roles_.find(name);
  return it == roles_.end() ? NoRole : it->second;
}

int BaseModel::GetVarRole(const ScoreDictVar* var) const {
  return var == nullptr ? NoRole : GetVarRole(var->GetName());
}

const ScoreDictVar* BaseModel::GetTargetVar() const {
  if (!dictionary_) return nullptr;
  std::vector<ScoreDictVar*> vars;
  dictionary_->GetVariables(vars);
  for (const ScoreDictVar* var : vars) {
    if (GetVarRole(var->GetName()) == TargetRole) return var;
  }
  return nullptr;
}
