#ifndef TESTS_MODEL_BAYESNETMODELPEER_H_
#define TESTS_MODEL_BAYESNETMODELPEER_H_

#include <cstddef>
#include <string>
#include <vector>

#include "model/BayesNetModel.h"
#include "model/ScoringPlan.h"

// Reaches the model's private helpers and state.
class BayesNetModelPeer {
 public:
  static int GetIndex(const BayesNetModel& m, const std::string& name) { return m.GetIndex(name); }
  static bool IndexReady(const BayesNetModel& m) { return m.indexReady_.load(); }
  static const std::vector<const ScoreValue*>& TargetCategories(const BayesNetModel& m) {
    return m.targetCategories_;
  }

};

#endif  // TESTS_MODEL_BAYESNETMODELPEER_H_
