#ifndef BAYESNET_BAYESNETCLSRESULT_H_
#define BAYESNET_BAYESNETCLSRESULT_H_

#include <cstddef>
#include <utility>
#include <vector>

#include "bayesnet/BayesNetExport.h"
#include "host/interfaces/ScoreResult.h"

// The classification result of a Bayesian-network model: the prediction,
// its confidence and the probability of every target category.
//
// Ownership: the target variable and the listed category values are
// borrowed from the host's dictionary (never copied or deleted); the
// prediction is owned and deleted with the result. A copy or an assignment
// gives the target object its own clone of the prediction, and assignment
// deletes the prediction the target held before, so no two results ever
// delete the same value.
class BAYESNET_API BayesNetClsResult : public ScoreClsResult {
 public:
  explicit BayesNetClsResult(const ScoreDictVar* target);
  BayesNetClsResult(const BayesNetClsResult& other);
  BayesNetClsResult& operator=(const BayesNetClsResult& other);
  ~BayesNetClsResult() override;

  // Takes ownership of `value`.
  // REQUIRES: no prediction is held (one held is not released; GetScore
  // updates it in place).
  void SetPrediction(ScoreValue* value) override;
  const ScoreValue* GetPrediction() const override { return prediction_; }
  void AddAdvice(ResultAdvice advice) override;
  std::vector<ResultAdvice> GetAdvice() const override { return advices_; }
  void RemoveAdvice() override { advices_.clear(); }
  const ScoreDictVar* GetTarget() const override { return target_; }
  void SetConfidence(double confidence) override { confidence_ = confidence; }
  double GetConfidence() const override { return confidence_; }
  ResultType GetScoreResultType() const override { return BayesNetClassification; }

  // Sets the percentage of the first listed value that equals `value`, or
  // lists (value, percent) at the end. Always true.
  bool AddValuePercent(const ScoreValue* value, double percent) override;
  // The percentage of the first listed value equal to `value`, or -1.0.
  double GetPercent(const ScoreValue* value) const override;
  const std::vector<std::pair<const ScoreValue*, double>>& GetAllValuePercent() const override {
    return valuePercents_;
  }

  // Empties the list without deleting its values.
  void RemoveValuePercent() { valuePercents_.clear(); }

  // The held prediction, for the model to update in place; may be null.
  ScoreValue* GetMutablePrediction() { return prediction_; }

 private:
  friend class BayesNetModel;  // refills the percentages in place

  // When the list is empty, lists `values[0 .. count-1]` with `percents`;
  // when it holds exactly those values, in order (the same pointers), sets
  // their percentages to `percents`. Returns true in both cases; otherwise
  // changes nothing and returns false. For distinct values (each equal to
  // itself and to no other) this is what AddValuePercent would do for each
  // in turn, in O(count) instead of O(count^2).
  bool ReplacePercents(const ScoreValue* const* values, const double* percents, std::size_t count);

  const ScoreDictVar* target_;
  ScoreValue* prediction_;  // owned; raw because SetPrediction transfers a raw pointer
  std::vector<std::pair<const ScoreValue*, double>> valuePercents_;
  std::vector<ResultAdvice> advices_;
  double confidence_;
};

#endif  // BAYESNET_BAYESNETCLSRESULT_H_
