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
  std::vector<int> codes;             // predictor i -> its code
  std::vector<std::size_t> offsets;   // per factor of the plan
  std::vector<double> scores;         // target category -> score
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

BayesNetClsResult* BayesNetModel::BeginScoring(const ScoreCaseRecord* record,
                                               ScoreResult*& result, bool derivedInRecord,
                                               bool& created) {
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
  // Only the derived fields that are predictors.
  const ScoreCaseRecord* derived = DerivedValues(record, derivedInRecord, &plan.DerivedFields());

  // Working arrays: on the stack for plans of the usual sizes (no
  // thread-local access, which costs a call in a loaded library), else the
  // thread's scratch vectors.
  constexpr int kStackLimit = 256;
  int stackCodes[kStackLimit];
  double stackScores[kStackLimit];
  std::size_t stackOffsets[kStackLimit];
  const int numCategories = plan.NumCategories();
  int* codes = stackCodes;
  double* scores = stackScores;
  std::size_t* offsets = stackOffsets;
  if (plan.NumPredictors() > kStackLimit || numCategories > kStackLimit ||
      plan.NumFactors() > kStackLimit) {
    ScoreScratch& scratch = Scratch();
    scratch.codes.resize(plan.NumPredictors());
    scratch.scores.resize(numCategories);
    scratch.offsets.resize(plan.NumFactors());
    codes = scratch.codes.data();
    scores = scratch.scores.data();
    offsets = scratch.offsets.data();
  }

  const ScoringPlan::Encoding encoding = plan.Encode(record, derived, codes);
  MCScore::MCStatus status = missing;
  bool scored = false;
  int best = 0;
  const double* posteriors = scores;  // the normalised scores, once scored
  if (encoding != ScoringPlan::Encoding::Missing) {
    if (numCategories < 1) {
      status = noScore;
    } else {
      if (encoding == ScoringPlan::Encoding::Complete && plan.HasPosteriors()) {
        posteriors = plan.Posteriors(codes, best);
        scored = best >= 0;
      } else {
        if (encoding == ScoringPlan::Encoding::Complete) {
          plan.Score(codes, scores, offsets);
        } else {
          plan.ScoreOutsidePlan(codes, scores);  // a code the tables do not cover
        }
        scored = ScoringPlan::NormaliseAndPick(scores, numCategories, best);
      }
      if (!scored) status = noScore;
    }
  }

  // A record with gaps, when they are to be summed out: by inference.
  if (encoding == ScoringPlan::Encoding::Missing && options != nullptr && options->sumOutMissing) {
    const long code = InferTarget(record, derived, *options, scores, best);
    if (code == 0) {
      posteriors = scores;
      scored = true;
    } else if (code == MCScore::kNoPositiveScore) {
      status = noScore;
    }
  }

  if (scored) {
    if (!predictionOnly_) {
      clsResult->SetConfidence(posteriors[best]);
      SetPercents(clsResult, posteriors);
    }
    SetPrediction(clsResult, created, best);
    return MCScore::MCStatus();
  }

  // Missing or no score: every category gets the system-missing value and
  // the prediction is empty; the confidence stays as it was.
  if (!predictionOnly_) {
    for (int c = 0; c < numCategories; ++c) scores[c] = NumericValue::GetSysmisValue();
    SetPercents(clsResult, scores);
  }
  SetPrediction(clsResult, created, -1);
  return status;
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
      value = new NumericValue(best >= 0 ? plan.CategoryNumber(best)
                                         : NumericValue::GetSysmisValue());
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
