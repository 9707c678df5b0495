// BayesNetModel's EvidenceInference: scoring with gaps, queries on any node
// and explanations, by exact inference on the network (InferenceNetwork).
#include <algorithm>
#include <cmath>
#include <limits>
#include <mutex>

#include "bayesnet/model/BayesNetModel.h"
#include "bayesnet/model/InferenceNetwork.h"
#include "bayesnet/model/ScoringPlan.h"
#include "bayesnet/result/BayesNetClsResult.h"

using bnscore::internal::InferenceNetwork;

namespace {

// Per thread: the predictors' codes and the probabilities of a call.
struct InferenceScratch {
  std::vector<int> codes;
  std::vector<double> scores;
  std::vector<InferenceNetwork::Group> groups;
};

InferenceScratch& Scratch() {
  thread_local InferenceScratch scratch;
  return scratch;
}

const MCScore::MCStatus& MissingStatus() {
  static const MCScore::MCStatus status(MCScore::kMissingPredictor, false);
  return status;
}

const MCScore::MCStatus& NoScoreStatus() {
  static const MCScore::MCStatus status(MCScore::kNoPositiveScore, false);
  return status;
}

// Makes the `n` codes evidence the network reads: an unknown value becomes
// no value when the options say so. False when one stays unknown (the
// record's status is then the missing status).
bool UsableEvidence(int* codes, std::size_t n, const EvidenceInference::Options& options) {
  for (std::size_t i = 0; i < n; ++i) {
    if (codes[i] != PredictorCoder::kUnknownValue) continue;
    if (!options.unknownAsMissing) return false;
    codes[i] = PredictorCoder::kNoValue;
  }
  return true;
}

}  // namespace

const InferenceNetwork& BayesNetModel::Inference() const {
  if (const InferenceNetwork* ready = inferenceReady_.load(std::memory_order_acquire)) {
    return *ready;
  }
  std::lock_guard<std::mutex> lock(inferenceMutex_);
  if (inference_ == nullptr) inference_ = std::make_unique<InferenceNetwork>(*this);
  inferenceReady_.store(inference_.get(), std::memory_order_release);
  return *inference_;
}

std::vector<std::string> BayesNetModel::GetNodeNames() const {
  const InferenceNetwork& network = Inference();
  std::vector<std::string> names;
  for (int n = 0; n < network.NumNodes(); ++n) names.push_back(network.NodeName(n));
  return names;
}

std::vector<std::string> BayesNetModel::GetNodeCategories(int node) const {
  const InferenceNetwork& network = Inference();
  if (node < 0 || node >= network.NumNodes()) return {};
  return network.CategoryTexts(node);
}

bool BayesNetModel::Evidence(const ScoreCaseRecord* record, bool derivedInRecord,
                             const Options& options, std::vector<int>& codes,
                             const ScoreCaseRecord*& derived) {
  if (!indexReady_.load(std::memory_order_acquire) && record->IsIndexed()) {
    SetUpIndexOnce(record, derivedInRecord);
  }
  if (plan_ == nullptr) Prepare();  // after a modifiable reference
  derived = DerivedValues(record, derivedInRecord, &plan_->Predictors().DerivedFields());
  return EvidenceCodes(record, derived, options, codes);
}

bool BayesNetModel::EvidenceCodes(const ScoreCaseRecord* record, const ScoreCaseRecord* derived,
                                  const Options& options, std::vector<int>& codes) const {
  const PredictorCoder& predictors = plan_->Predictors();
  codes.resize(static_cast<std::size_t>(predictors.NumPredictors()));
  predictors.EncodeEvidence(record, derived, codes.data());
  return UsableEvidence(codes.data(), codes.size(), options);
}

int BayesNetModel::InferTarget(int* codes, const Options& options, double* scores,
                               int& best) const {
  const InferenceNetwork& network = Inference();
  const int target = network.TargetNode();
  if (target < 0) return MCScore::kMissingPredictor;
  const std::size_t n = static_cast<std::size_t>(plan_->Predictors().NumPredictors());
  if (!UsableEvidence(codes, n, options)) return MCScore::kMissingPredictor;
  const int k = network.NumCategories(target);
  if (k < 1) return MCScore::kNoPositiveScore;
  if (network.Joint(target, codes, scores) != InferenceNetwork::Outcome::kDone) {
    return MCScore::kMissingPredictor;  // too large to infer
  }
  return BlanketFactors::NormaliseAndPick(scores, k, best) ? MCScore::kScored
                                                           : MCScore::kNoPositiveScore;
}

MCScore::MCStatus BayesNetModel::ScoreEvidence(const ScoreCaseRecord* record, ScoreResult*& result,
                                               bool derivedInRecord, const Options& options) {
  return ScoreRecord(record, result, derivedInRecord, &options);
}

MCScore::MCStatus BayesNetModel::QueryNodes(const ScoreCaseRecord* record, bool derivedInRecord,
                                            const Options& options, const std::vector<int>& nodes,
                                            double* posteriors) {
  const InferenceNetwork& network = Inference();
  std::size_t total = 0;
  for (int node : nodes) {
    if (node >= 0 && node < network.NumNodes()) {
      total += static_cast<std::size_t>(network.NumCategories(node));
    }
  }
  std::fill(posteriors, posteriors + total, std::numeric_limits<double>::quiet_NaN());
  if (record == nullptr) return MissingStatus();
  InferenceScratch& scratch = Scratch();
  const ScoreCaseRecord* derived = nullptr;
  if (!Evidence(record, derivedInRecord, options, scratch.codes, derived)) return MissingStatus();
  double* out = posteriors;
  for (int node : nodes) {
    if (node < 0 || node >= network.NumNodes()) continue;
    const int k = network.NumCategories(node);
    if (k < 1) return NoScoreStatus();
    if (network.Joint(node, scratch.codes.data(), out) != InferenceNetwork::Outcome::kDone) {
      std::fill(posteriors, posteriors + total, std::numeric_limits<double>::quiet_NaN());
      return MissingStatus();
    }
    int best = 0;
    if (!BlanketFactors::NormaliseAndPick(out, k, best)) {
      std::fill(posteriors, posteriors + total, std::numeric_limits<double>::quiet_NaN());
      return NoScoreStatus();
    }
    // An observed node is certain, given evidence of positive probability.
    const int predictor = network.NodePredictor(node);
    const int code = predictor >= 0 ? scratch.codes[static_cast<std::size_t>(predictor)] : -1;
    if (code >= 0 && code < k) {
      for (int x = 0; x < k; ++x) out[x] = x == code ? 1.0 : 0.0;
    }
    out += k;
  }
  return MCScore::MCStatus();
}

MCScore::MCStatus BayesNetModel::ExplainEvidence(const ScoreCaseRecord* record,
                                                 bool derivedInRecord, const Options& options,
                                                 std::vector<Term>& terms) {
  terms.clear();
  if (record == nullptr) return MissingStatus();
  const InferenceNetwork& network = Inference();
  const int target = network.TargetNode();
  InferenceScratch& scratch = Scratch();
  const ScoreCaseRecord* derived = nullptr;
  if (!Evidence(record, derivedInRecord, options, scratch.codes, derived)) return MissingStatus();
  if (!options.sumOutMissing) {
    for (int code : scratch.codes) {
      if (code < 0) return MissingStatus();
    }
  }
  if (target < 0) return MissingStatus();
  const int k = network.NumCategories(target);
  if (k < 1) return NoScoreStatus();
  // The posterior from the groups' product: tables without the target
  // cancel, so a record scored from its blanket alone is explained by its
  // blanket's factors whatever the rest of the network says.
  if (network.Groups(scratch.codes.data(), scratch.groups) != InferenceNetwork::Outcome::kDone) {
    return MissingStatus();
  }
  scratch.scores.assign(static_cast<std::size_t>(k), 1.0);
  double* scores = scratch.scores.data();
  for (const InferenceNetwork::Group& group : scratch.groups) {
    for (int c = 0; c < k; ++c) scores[c] *= group.values[static_cast<std::size_t>(c)];
  }
  int first = 0;
  if (scratch.groups.empty() || !BlanketFactors::NormaliseAndPick(scores, k, first)) {
    return NoScoreStatus();
  }
  if (k < 2) return MCScore::MCStatus();
  int second = first == 0 ? 1 : 0;
  for (int c = 0; c < k; ++c) {
    if (c != first && scores[c] > scores[second]) second = c;
  }
  for (const InferenceNetwork::Group& group : scratch.groups) {
    Term term;
    term.logOdds = std::log(group.values[static_cast<std::size_t>(first)]) -
                   std::log(group.values[static_cast<std::size_t>(second)]);
    for (int predictor : group.predictors) {
      term.fields.push_back(predictorNames_[static_cast<std::size_t>(predictor)]);
      term.values.push_back(plan_->Predictors().ValueText(record, derived, predictor));
    }
    terms.push_back(std::move(term));
  }
  std::stable_sort(terms.begin(), terms.end(),
                   [](const Term& a, const Term& b) { return a.logOdds > b.logOdds; });
  return MCScore::MCStatus();
}
