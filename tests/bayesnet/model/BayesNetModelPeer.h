#ifndef TESTS_MODEL_BAYESNETMODELPEER_H_
#define TESTS_MODEL_BAYESNETMODELPEER_H_

#include <cstddef>
#include <string>
#include <vector>

#include "bayesnet/model/BayesNetModel.h"
#include "bayesnet/model/ScoringPlan.h"

// Reaches the model's private helpers and state: the literal scoring path
// and the compiled plan among them.
class BayesNetModelPeer {
 public:
  static bool GetParents(const BayesNetModel& m, const std::string& node,
                         std::vector<std::string>& parents) {
    return m.GetParents(node, parents);
  }
  static std::vector<std::string> GetChildren(const BayesNetModel& m, const std::string& node) {
    std::vector<std::string> children{"stale"};
    m.GetChildren(node, children);
    return children;
  }
  static const BayesNetModel::CPTable& GetCPTable(const BayesNetModel& m, const std::string& node) {
    return m.GetCPTable(node);
  }
  static int GetIndex(const BayesNetModel& m, const std::string& name) { return m.GetIndex(name); }
  static double ComputeLocalScore(const BayesNetModel& m, const std::string& node,
                                  const std::vector<double>& codes, int c) {
    return m.ComputeLocalScore(node, codes, c);
  }
  static bool IndexReady(const BayesNetModel& m) { return m.indexReady_; }
  static const std::vector<const ScoreValue*>& TargetCategories(const BayesNetModel& m) {
    return m.targetCategories_;
  }

  // The literal algorithm, without the plan.
  static MCScore::MCStatus GetScoreLiteral(BayesNetModel& m, const ScoreCaseRecord* record,
                                           ScoreResult*& result, bool derivedInRecord) {
    return m.GetScoreLiteral(record, result, derivedInRecord);
  }
  static bool HasPlan(const BayesNetModel& m) { return m.plan_ != nullptr; }
  // Factors larger than `entries` take the sparse path from the next plan.
  static void SetDenseFactorLimit(BayesNetModel& m, std::size_t entries) {
    m.denseFactorLimit_ = entries;
    m.DiscardPlan();
  }
  // The current plan's dense and sparse factor counts; the model must hold
  // a plan.
  static int DenseFactors(const BayesNetModel& m) { return m.plan_->NumDenseFactors(); }
  static int SparseFactors(const BayesNetModel& m) { return m.plan_->NumSparseFactors(); }
  static bool HasPosteriors(const BayesNetModel& m) { return m.plan_->HasPosteriors(); }
};

#endif  // TESTS_MODEL_BAYESNETMODELPEER_H_
