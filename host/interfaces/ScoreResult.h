#ifndef MODELCORE_SCORERESULT_H_
#define MODELCORE_SCORERESULT_H_

#include <string>
#include <utility>
#include <vector>

#include "host/interfaces/ModelCoreExport.h"
#include "host/interfaces/ScoreDictVar.h"
#include "host/interfaces/ScoreValue.h"

// A note that a model attaches to a result. Copyable.
class MODELCORE_API ResultAdvice {
 public:
  ResultAdvice() = default;
  explicit ResultAdvice(std::string text) : text_(std::move(text)) {}
  ResultAdvice(const ResultAdvice&) = default;
  ResultAdvice& operator=(const ResultAdvice&) = default;
  virtual ~ResultAdvice();

  // A new copy; the caller owns it.
  virtual ResultAdvice* Clone() const;

  const std::string& GetText() const { return text_; }

 private:
  std::string text_;
};

// What a model hands back for one scored record. Abstract. The host owns a
// result and deletes it through the virtual destructor.
class MODELCORE_API ScoreResult {
 public:
  // Fixed by the host interface; do not change.
  enum ResultType { UnknownResult = 0, BayesNetClassification = 20 };

  virtual ~ScoreResult();

  // Takes ownership of `value`.
  virtual void SetPrediction(ScoreValue* value) = 0;
  virtual const ScoreValue* GetPrediction() const = 0;
  virtual void AddAdvice(ResultAdvice advice) = 0;
  virtual std::vector<ResultAdvice> GetAdvice() const = 0;
  virtual void RemoveAdvice() = 0;
  virtual const ScoreDictVar* GetTarget() const = 0;
  virtual void SetConfidence(double confidence) = 0;
  virtual double GetConfidence() const = 0;
  virtual ResultType GetScoreResultType() const = 0;

 protected:
  ScoreResult() = default;
  ScoreResult(const ScoreResult&) = default;
  ScoreResult& operator=(const ScoreResult&) = default;
};

// A classification result: a probability per target category. The listed
// category values are borrowed, never copied or deleted.
class MODELCORE_API ScoreClsResult : public ScoreResult {
 public:
  ~ScoreClsResult() override;

  virtual bool AddValuePercent(const ScoreValue* value, double percent) = 0;
  virtual double GetPercent(const ScoreValue* value) const = 0;
  virtual const std::vector<std::pair<const ScoreValue*, double>>& GetAllValuePercent() const = 0;

 protected:
  ScoreClsResult() = default;
  ScoreClsResult(const ScoreClsResult&) = default;
  ScoreClsResult& operator=(const ScoreClsResult&) = default;
};

#endif  // MODELCORE_SCORERESULT_H_
