#ifndef MODELCORE_BASEDICTIONARY_H_
#define MODELCORE_BASEDICTIONARY_H_

#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "host/interfaces/ScoreDictionary.h"

// The host's dictionary: variables in insertion order with a hash index by
// name. Owns its variables.
class MODELCORE_API BaseDictionary : public ScoreDictionary {
 public:
  BaseDictionary();
  ~BaseDictionary() override;

  bool AddVariable(const std::string& name, ScoreDictVar* var) override;
  ScoreDictVar* GetVariable(const std::string& name) const override;
  void GetVariables(std::vector<ScoreDictVar*>& vars) const override;
  int GetNumVariables() const override { return static_cast<int>(vars_.size()); }

 private:
  std::vector<std::unique_ptr<ScoreDictVar>> vars_;
  std::unordered_map<std::string, ScoreDictVar*> byName_;
};

#endif  // MODELCORE_BASEDICTIONARY_H_
