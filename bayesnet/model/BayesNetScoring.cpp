#include "host/data/ExactClass.h"
#include "host/data/NumericValue.h"
#include "host/data/StringValue.h"
#include "host/data/TransformationDictionary.h"
#include "bayesnet/model/BayesNetModel.h"
#include "bayesnet/model/ScoringPlan.h"
#include "bayesnet/result/BayesNetClsResult.h"

// BayesNetModel's scoring: the record indexing, GetScore and the filling of
// its result.

namespace {

// Working arrays of a GetScore call on a plan too large for the stack. They
// live per thread and keep their capacity, so scoring allocates nothing once
// they have grown, and calls on different threads never share them.
struct ScoreScratch {
  std::vector<int> codes;            // predictor i -> its code
  std::vector<std::size_t> offsets;  // per factor of the plan
  std::vector<double> scores;        // target category -> score
};

ScoreScratch& Scratch() {
  thread_local ScoreScratch scratch;
  return scratch;
}

}  // namespace

// ---------------------------------------------------------------------------
// Case indexing.

void BayesNetModel::SetUpDictVarIndex(const ScoreCaseRecord* record, bool derivedInRecord) {
  if (const ScoreDictionary* dictionary = GetDictionary()) {
    for (const std::string& name : predictorNames_) {
      if (ScoreDictVar* var = dictionary->GetVariable(name)) var->SetIndex(record->GetIndex(name));
    }
  }
  TransformationDictionary* transformation = GetTransformationDictionary();
  if (derivedInRecord && transformation != nullptr) {
    std::vector<ScoreDictVar*> derived;
    transformation->GetVariables(derived);
    for (ScoreDictVar* var : derived) var->SetIndex(record->GetIndex(var->GetName()));
  }
}

void BayesNetModel::SetUpIndexOnce(const ScoreCaseRecord* record, bool derivedInRecord) {
  std::lock_guard<std::mutex> lock(indexMutex_);
  if (indexReady_.load(std::memory_order_relaxed)) return;
  SetUpDictVarIndex(record, derivedInRecord);
  if (plan_ != nullptr) plan_->UsePositions();
  indexReady_.store(true, std::memory_order_release);
}

// ---------------------------------------------------------------------------
// Scoring.

BayesNetClsResult* BayesNetModel::BeginScoring(const ScoreCaseRecord* record, ScoreResult*& result,
                                               bool derivedInRecord, bool& created) {
  if (!indexReady_.load(std::memory_order_acquire) && record->IsIndexed()) {
    SetUpIndexOnce(record, derivedInRecord);
  }

  created = false;
  if (result == nullptr) {
    result = new BayesNetClsResult(targetVar_);
    created = true;
  } else if (result->GetScoreResultType() != ScoreResult::BayesNetClassification) {
    delete result;
    result = new BayesNetClsResult(targetVar_);
    created = true;
  }

  // Type 20 results are always this class.
  return static_cast<BayesNetClsResult*>(result);
}

const ScoreCaseRecord* BayesNetModel::DerivedValues(const ScoreCaseRecord* record,
                                                    bool derivedInRecord,
                                                    const std::vector<int>* fields) {
  TransformationDictionary* transformation = GetTransformationDictionary();
  if (!needDerivedPredictor_ || transformation == nullptr || derivedInRecord) return nullptr;
  if (fields == nullptr) return transformation->GetValuesForDeriedVars(record, GetDictionary());
  return transformation->GetValuesForDerivedFields(record, GetDictionary(), *fields);
}

// The names are resolved and the factors tabulated once, in the plan; a
// record is encoded, its factors multiplied (or its posteriors looked up),
// and the result filled.
MCScore::MCStatus BayesNetModel::GetScore(const ScoreCaseRecord* record, ScoreResult*& result,
                                          bool derivedInRecord) {
  return ScoreRecord(record, result, derivedInRecord, nullptr);
}

MCScore::MCStatus BayesNetModel::ScoreRecord(const ScoreCaseRecord* record, ScoreResult*& result,
                                             bool derivedInRecord, const Options* options) {
  static const MCScore::MCStatus missing(MCScore::kMissingPredictor, false);
  static const MCScore::MCStatus noScore(MCScore::kNoPositiveScore, false);
  if (record == nullptr) return missing;

  bool created = false;
  BayesNetClsResult* clsResult = BeginScoring(record, result, derivedInRecord, created);
  if (plan_ == nullptr) Prepare();  // after a modifiable reference
  const ScoringPlan& plan = *plan_;
  const PredictorCoder& predictors = plan.Predictors();
  // Only the derived fields that are predictors.
  const ScoreCaseRecord* derived =
      DerivedValues(record, derivedInRecord, &predictors.DerivedFields());

  // Working arrays: on the stack for plans of the usual sizes (no
  // thread-local access, which costs a call in a loaded library), else the
  // thread's scratch vectors.
  constexpr int kStackLimit = 256;
  int stackCodes[kStackLimit];
  double stackScores[kStackLimit];
  std::size_t stackOffsets[kStackLimit];
  const int numCategories = plan.NumCategories();
  const int numFactors = plan.Factors().NumFactors();
  int* codes = stackCodes;
  double* scores = stackScores;
  std::size_t* offsets = stackOffsets;
  if (predictors.NumPredictors() > kStackLimit || numCategories > kStackLimit ||
      numFactors > kStackLimit) {
    ScoreScratch& scratch = Scratch();
    scratch.codes.resize(predictors.NumPredictors());
    scratch.scores.resize(numCategories);
    scratch.offsets.resize(numFactors);
    codes = scratch.codes.data();
    scores = scratch.scores.data();
    offsets = scratch.offsets.data();
  }

  const ScoringPlan::Encoding encoding = predictors.Encode(record, derived, codes);
  // A record with gaps, when they are to be summed out: by inference, from
  // every predictor's code (Encode stopped at the first gap).
  const ScoringPlan::Decision decision =
      plan.Decide(encoding, codes, scores, offsets, [&](double* inferred, int& best) {
        if (options == nullptr || !options->sumOutMissing) return MCScore::kMissingPredictor;
        predictors.EncodeEvidence(record, derived, codes);
        return InferTarget(codes, *options, inferred, best);
      });

  if (decision.status == MCScore::kScored) {
    if (!predictionOnly_) {
      clsResult->SetConfidence(decision.posteriors[decision.best]);
      SetPercents(clsResult, decision.posteriors);
    }
    SetPrediction(clsResult, created, decision.best);
    return MCScore::MCStatus();
  }

  // Missing or no score: every category gets the system-missing value and
  // the prediction is empty; the confidence stays as it was.
  if (!predictionOnly_) {
    for (int c = 0; c < numCategories; ++c) scores[c] = NumericValue::GetSysmisValue();
    SetPercents(clsResult, scores);
  }
  SetPrediction(clsResult, created, -1);
  return decision.status == MCScore::kNoPositiveScore ? noScore : missing;
}

void BayesNetModel::SetPercents(BayesNetClsResult* result, const double* percents) const {
  // With distinct categories, AddValuePercent of category c on a list that
  // holds exactly the categories in order updates entry c, and on an empty
  // list appends it: the same as writing (or appending) entry c directly.
  if (plan_->CategoriesDistinct() &&
      result->ReplacePercents(targetCategories_.data(), percents, targetCategories_.size())) {
    return;
  }
  for (std::size_t c = 0; c < targetCategories_.size(); ++c) {
    result->AddValuePercent(targetCategories_[c], percents[c]);
  }
}

void BayesNetModel::SetPrediction(BayesNetClsResult* result, bool created, int best) const {
  const ScoringPlan& plan = *plan_;
  ScoreValue* held = result->GetMutablePrediction();
  if (created || held == nullptr) {
    ScoreValue* value;
    if (plan.NumericTarget()) {
      value =
          new NumericValue(best >= 0 ? plan.CategoryNumber(best) : NumericValue::GetSysmisValue());
    } else {
      value = new StringValue(best >= 0 ? std::string(plan.CategoryText(best)) : std::string());
    }
    result->SetPrediction(value);  // the result owns it from here
    return;
  }
  // In place. A prediction of a foreign class (put there by someone else)
  // is left as it is.
  if (plan.NumericTarget()) {
    if (NumericValue* number = exact_class::Cast<NumericValue>(held)) {
      number->SetDoubleValue(best >= 0 ? plan.CategoryNumber(best)
                                       : NumericValue::GetSysmisValue());
    }
  } else {
    StringValue* text = exact_class::Cast<StringValue>(held);
    if (text != nullptr) text->SetString(best >= 0 ? plan.CategoryText(best) : std::string_view());
  }
}
