#ifndef MODELCORE_SCOREDICTIONARY_H_
#define MODELCORE_SCOREDICTIONARY_H_

#include <string>
#include <vector>

#include "host/interfaces/ModelCoreExport.h"
#include "host/interfaces/ScoreDictVar.h"

// A set of dictionary variables, searchable by name, kept in insertion
// order. Abstract; BaseDictionary implements it. A dictionary owns its
// variables.
class MODELCORE_API ScoreDictionary {
 public:
  virtual ~ScoreDictionary();

  // Adds `var` under `name`. The dictionary takes ownership of `var` in
  // every case: a name already present is refused (false) and `var` is
  // deleted at once.
  virtual bool AddVariable(const std::string& name, ScoreDictVar* var) = 0;
  // The variable of that name, or null.
  virtual ScoreDictVar* GetVariable(const std::string& name) const = 0;
  // Replaces the contents of `vars` with all variables in insertion order.
  virtual void GetVariables(std::vector<ScoreDictVar*>& vars) const = 0;
  virtual int GetNumVariables() const = 0;

 protected:
  ScoreDictionary() = default;
  ScoreDictionary(const ScoreDictionary&) = delete;
  ScoreDictionary& operator=(const ScoreDictionary&) = delete;
};

#endif  // MODELCORE_SCOREDICTIONARY_H_
