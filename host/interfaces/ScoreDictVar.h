#ifndef MODELCORE_SCOREDICTVAR_H_
#define MODELCORE_SCOREDICTVAR_H_

#include <ostream>
#include <string>

#include "host/interfaces/ModelCoreExport.h"
#include "host/interfaces/ScoreValue.h"

class ScoreValueLabelSet;

// A variable of a data or transformation dictionary. Abstract; BaseDictVar
// implements it.
class MODELCORE_API ScoreDictVar {
 public:
  // Fixed by the host interface; do not change.
  enum Measure { Continuous = 0, Categorical = 1, Ordinal = 2 };

  virtual ~ScoreDictVar();

  // A new deep copy; the caller owns it.
  virtual ScoreDictVar* Clone() const = 0;

  // True for a null value, the system-missing value and every value that
  // the variable declares missing.
  virtual bool IsMissingValue(const ScoreValue* value) const = 0;

  virtual const std::string& GetName() const = 0;
  // 0 numeric, 1 string.
  virtual int GetValueType() const = 0;
  virtual int GetMeasure() const = 0;
  // The categories, or null when the variable declares none.
  virtual ScoreValueLabelSet* GetValueLabelSet() const = 0;
  // One line that describes the variable, ending in a newline.
  virtual void Display(std::ostream& os) const = 0;
  // The number of value labels.
  virtual int GetNumCategories() const = 0;
  // The variable's position in case records; -1 until set.
  virtual void SetIndex(int index) = 0;
  virtual int GetIndex() const = 0;

 protected:
  ScoreDictVar() = default;
  ScoreDictVar(const ScoreDictVar&) = default;
  ScoreDictVar& operator=(const ScoreDictVar&) = default;
};

#endif  // MODELCORE_SCOREDICTVAR_H_
