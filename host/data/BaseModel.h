#ifndef MODELCORE_BASEMODEL_H_
#define MODELCORE_BASEMODEL_H_

#include <map>
#include <memory>
#include <string>

#include "host/data/TransformationDictionary.h"
#include "host/interfaces/ScoreModel.h"

// The bookkeeping every model shares: the data dictionary, the
// transformation dictionary, the version information, the variables' roles
// and the missing-value policy. Owns the two dictionaries and the version
// information and deletes them in its destructor; a derived model never
// does.
class MODELCORE_API BaseModel : public ScoreModel {
 public:
  BaseModel();
  ~BaseModel() override;

  void SetScoreDictionary(ScoreDictionary* dictionary) override;
  void SetTransformationScoreDictionary(TransformationDictionary* dictionary) override;
  // A role is kept only for a variable of the data dictionary; for any
  // other name nothing is stored and the answer is false.
  bool SetVarRole(const std::string& name, VarRole role) override;
  bool SetVarRole(const ScoreDictVar* var, VarRole role) override;
  void SetMissingValuePolicy(MVPolicy policy) override { policy_ = policy; }
  void SetVersionInfo(ScoreVersionInfo* info) override;
  // NoRole (0) for a variable without a role.
  int GetVarRole(const std::string& name) const override;
  int GetVarRole(const ScoreDictVar* var) const override;
  const ScoreVersionInfo* GetVersionInfo() const override { return version_.get(); }
  // The data-dictionary variable of role TargetRole, or null.
  const ScoreDictVar* GetTargetVar() const override;
  const ScoreDictionary* GetDictionary() const override { return dictionary_.get(); }
  TransformationDictionary* GetTransformationDictionary() const override {
    return transformation_.get();
  }
  MVPolicy GetMissingValuePolicy() const override { return policy_; }

 private:
  std::unique_ptr<ScoreDictionary> dictionary_;
  std::unique_ptr<TransformationDictionary> transformation_;
  std::unique_ptr<ScoreVersionInfo> version_;
  std::map<std::string, int> roles_;
  MVPolicy policy_ = MissingAsIs;  // the one integer member; starts at 0
};

#endif  // MODELCORE_BASEMODEL_H_
