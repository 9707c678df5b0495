#ifndef MODELCORE_SCOREMODEL_H_
#define MODELCORE_SCOREMODEL_H_

#include <ostream>
#include <string>

#include "host/interfaces/MCStatus.h"
#include "host/interfaces/ModelCoreExport.h"
#include "host/interfaces/ScoreCaseRecord.h"
#include "host/interfaces/ScoreDictVar.h"
#include "host/interfaces/ScoreDictionary.h"
#include "host/interfaces/ScoreResult.h"
#include "host/interfaces/ScoreVersionInfo.h"

class TransformationDictionary;

// The generic model interface through which the host drives every model.
// Abstract; BaseModel implements the bookkeeping and plug-ins the rest.
class MODELCORE_API ScoreModel {
 public:
  // Fixed by the host interface; do not change.
  enum VarRole { NoRole = 0, TargetRole = 1, InputRole = 2 };
  enum MVPolicy { MissingAsIs = 0 };
  enum ModelType { UnknownModel = 0, BayesNet = 28 };

  virtual ~ScoreModel();

  // Takes ownership of the dictionary.
  virtual void SetScoreDictionary(ScoreDictionary* dictionary) = 0;
  // Takes ownership of the dictionary (null: none).
  virtual void SetTransformationScoreDictionary(TransformationDictionary* dictionary) = 0;
  virtual bool SetVarRole(const std::string& name, VarRole role) = 0;
  virtual bool SetVarRole(const ScoreDictVar* var, VarRole role) = 0;
  virtual void SetMissingValuePolicy(MVPolicy policy) = 0;
  // Takes ownership of the version information.
  virtual void SetVersionInfo(ScoreVersionInfo* info) = 0;
  virtual void SetPredictionOnly(bool predictionOnly) = 0;
  virtual int GetVarRole(const std::string& name) const = 0;
  virtual int GetVarRole(const ScoreDictVar* var) const = 0;
  virtual const ScoreVersionInfo* GetVersionInfo() const = 0;
  // A new dictionary of copies of the variables of that role, or null when
  // there are none. The caller owns it.
  virtual ScoreDictionary* GetVarsOfRole(VarRole role) const = 0;
  virtual const ScoreDictVar* GetTargetVar() const = 0;
  virtual const ScoreDictionary* GetDictionary() const = 0;
  virtual TransformationDictionary* GetTransformationDictionary() const = 0;
  // Scores one record. `result` is in-out: null or a result of an earlier
  // call on entry; on return, the result to read, owned by the caller.
  virtual MCScore::MCStatus GetScore(const ScoreCaseRecord* record, ScoreResult*& result,
                                     bool derivedInRecord) = 0;
  virtual MVPolicy GetMissingValuePolicy() const = 0;
  virtual ModelType GetModelType() const = 0;
  virtual bool GetPredictionOnly() const = 0;
  virtual void Display(std::ostream& os) const = 0;

 protected:
  ScoreModel() = default;
  ScoreModel(const ScoreModel&) = delete;
  ScoreModel& operator=(const ScoreModel&) = delete;
};

#endif  // MODELCORE_SCOREMODEL_H_
