#ifndef MODELCORE_SCORECASERECORD_H_
#define MODELCORE_SCORECASERECORD_H_

#include <string>

#include "host/interfaces/ModelCoreExport.h"
#include "host/interfaces/ScoreValue.h"

// The field values of one case. Abstract; BaseCaseRecord implements it.
class MODELCORE_API ScoreCaseRecord {
 public:
  virtual ~ScoreCaseRecord();

  // The value at a position, or null for an unknown position or a field
  // that holds no value.
  virtual const ScoreValue* GetValue(int position) const = 0;
  // The value of the first field of that name, or null.
  virtual const ScoreValue* GetValue(const std::string& name) const = 0;
  // True when positional access (GetValue(int)) may be used.
  virtual bool IsIndexed() const = 0;
  // The position of the first field of that name, or -1.
  virtual int GetIndex(const std::string& name) const = 0;

 protected:
  ScoreCaseRecord() = default;
  ScoreCaseRecord(const ScoreCaseRecord&) = default;
  ScoreCaseRecord& operator=(const ScoreCaseRecord&) = default;
};

#endif  // MODELCORE_SCORECASERECORD_H_
