#include "model/BayesNetModel.h"

#include <memory>
#include <utility>
#include <typeinfo>

#include "host/BaseDictionary.h"
#include "host/NumericValue.h"
#include "host/StringValue.h"
#include "host/TransformationDictionary.h"
#include "model/ScoringPlan.h"
#include "result/BayesNetClsResult.h"

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

BayesNetModel::BayesNetModel()
    : predictionOnly_(false),
      targetVar_(nullptr),
      indexReady_(false),
      needDerivedPredictor_(false),
      paramLearnMethod_(MaxLikelihood),
      denseFactorLimit_(ScoringPlan::kFactorLimit) {
  SetMissingValuePolicy(MissingAsIs);  // the base's integer member, reset to 0
}

BayesNetModel::~BayesNetModel() {
  plan_.reset();  // points at the encoders
  predictorNames_.clear();
  predictorVars_.clear();
  targetCategories_.clear();
  for (IVkEncoder* encoder : encoders_) delete encoder;
  encoders_.clear();
  cpt_.clear();
  parentsTable_.clear();
  linkSource_.clear();
  derivedToData_.clear();
  dataToDerived_.clear();
}

// ---------------------------------------------------------------------------
// Structure.

void BayesNetModel::Prepare() { plan_ = std::make_unique<ScoringPlan>(*this, denseFactorLimit_); }

void BayesNetModel::Prepare(std::size_t denseFactorLimit) {
  denseFactorLimit_ = denseFactorLimit;
  Prepare();
}

void BayesNetModel::Changed() {
  if (plan_ != nullptr) Prepare();
}

void BayesNetModel::SetScoreDictionary(ScoreDictionary* dictionary) {
  // The plan points at the variables of the dictionary replaced.
  const bool prepared = plan_ != nullptr;
  plan_.reset();
  BaseModel::SetScoreDictionary(dictionary);
  if (prepared) Prepare();
}

void BayesNetModel::SetTransformationScoreDictionary(TransformationDictionary* dictionary) {
  const bool prepared = plan_ != nullptr;
  plan_.reset();
  BaseModel::SetTransformationScoreDictionary(dictionary);
  if (prepared) Prepare();
}

void BayesNetModel::AddPredictorVar(const std::string& name, const ScoreDictVar* var) {
  predictorNames_.push_back(name);
  predictorVars_.push_back(var);
  Changed();
}

void BayesNetModel::SetPredictorVarNames(const std::vector<std::string>& names) {
  predictorNames_ = names;
  Changed();
}

void BayesNetModel::AddEncoder(IVkEncoder* encoder) {
  encoders_.push_back(encoder);
  Changed();
}

void BayesNetModel::SetTargetVar(const ScoreDictVar* var) {
  targetVar_ = var;
  if (var != nullptr) {
    // Without value labels the categories stay as they were.
    if (const ScoreValueLabelSet* labelSet = var->GetValueLabelSet()) {
      const std::vector<ScoreValueLabel*>& labels = labelSet->GetLabels();
      targetCategories_.resize(labels.size());
      for (std::size_t c = 0; c < labels.size(); ++c) targetCategories_[c] = labels[c]->GetValue();
    }
  }
  Changed();
}

void BayesNetModel::SetDerivedToDataField(const std::string& derived, const std::string& data) {
  derivedToData_[derived] = data;
  dataToDerived_[data] = derived;
  Changed();
}

void BayesNetModel::SetNeedDerivedPredictor(bool need) {
  needDerivedPredictor_ = need;
  Changed();
}

void BayesNetModel::SetParamLearnMethod(ParamLearnMethod method) {
  paramLearnMethod_ = method;
  Changed();
}

// The modifiable references discard the plan: the caller may change what
// it was compiled from. The next GetScore compiles it again.
std::map<std::string, std::map<std::string, BayesNetModel::ArcOrient>>&
BayesNetModel::GetLinkSource() {
  plan_.reset();
  return linkSource_;
}

std::map<std::string, std::vector<std::string>>& BayesNetModel::GetParentsTable() {
  plan_.reset();
  return parentsTable_;
}

std::map<std::string, BayesNetModel::CPTable>& BayesNetModel::GetCPT() {
  plan_.reset();
  return cpt_;
}

// ---------------------------------------------------------------------------
// Queries.

std::vector<std::string> BayesNetModel::GetPredictorVarNames() const { return predictorNames_; }

const IVkEncoder* BayesNetModel::GetEncoderAt(std::size_t i) const {
  return i < encoders_.size() ? encoders_[i] : nullptr;
}

const IVkEncoder* BayesNetModel::GetEncoder(const std::string& name) const {
  return FindEncoder(name, GetIndex(name));
}

const IVkEncoder* BayesNetModel::FindEncoder(const std::string& name, int i) const {
  if (i >= 0 && i < static_cast<int>(encoders_.size()) && encoders_[i] != nullptr) {
    return encoders_[i];
  }
  if (GetVarRole(name) != TargetRole) return nullptr;
  return encoders_.empty() ? nullptr : encoders_.back();
}

IVkEncoder* BayesNetModel::GetEncoder(const std::string& name) {
  // The caller may change the encoder it gets, so the plan goes. The
  // encoders are the model's own; the const lookup only avoids a second
  // copy of it.
  plan_.reset();
  return const_cast<IVkEncoder*>(std::as_const(*this).GetEncoder(name));
}

std::string BayesNetModel::GetDataField(const std::string& derived) const {
  auto found = derivedToData_.find(derived);
  return found == derivedToData_.end() ? std::string() : found->second;
}

std::string BayesNetModel::GetDerivedField(const std::string& data) const {
  auto found = dataToDerived_.find(data);
  return found == dataToDerived_.end() ? std::string() : found->second;
}

bool BayesNetModel::NeedDerivedPredictor() const { return needDerivedPredictor_; }

BayesNetModel::ParamLearnMethod BayesNetModel::GetParamLearnMethod() const {
  return paramLearnMethod_;
}

void BayesNetModel::SetPredictionOnly(bool predictionOnly) { predictionOnly_ = predictionOnly; }

bool BayesNetModel::GetPredictionOnly() const { return predictionOnly_; }

ScoreModel::ModelType BayesNetModel::GetModelType() const { return BayesNet; }

ScoreDictionary* BayesNetModel::GetVarsOfRole(VarRole role) const {
  auto vars = std::make_unique<BaseDictionary>();
  if (role == TargetRole) {
    if (targetVar_ == nullptr) return nullptr;
    vars->AddVariable(targetVar_->GetName(), targetVar_->Clone());
    return vars.release();
  }
  if (const ScoreDictionary* dictionary = GetDictionary()) {
    std::vector<ScoreDictVar*> all;
    dictionary->GetVariables(all);
    for (const ScoreDictVar* var : all) {
      if (GetVarRole(var) == role) vars->AddVariable(var->GetName(), var->Clone());
    }
  }
  if (vars->GetNumVariables() == 0) return nullptr;
  return vars.release();
}

// ---------------------------------------------------------------------------
// Network lookups.

int BayesNetModel::GetIndex(const std::string& name) const {
  for (std::size_t i = 0; i < predictorNames_.size(); ++i) {
    if (predictorNames_[i] == name) return static_cast<int>(i);
  }
  return -1;
}

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
  static const MCScore::MCStatus kMissing(90029, false);
  static const MCScore::MCStatus kNoScore(90021, false);
  if (record == nullptr) return kMissing;

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
  MCScore::MCStatus status = kMissing;
  bool scored = false;
  int best = 0;
  const double* posteriors = scores;  // the normalised scores, once scored
  if (encoding != ScoringPlan::Encoding::Missing) {
    if (numCategories < 1) {
      status = kNoScore;
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
      if (!scored) status = kNoScore;
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
  // is left as it is. The exact-type test spares the dynamic_cast for the
  // values this model creates, and gives the same pointer.
  if (plan.NumericTarget()) {
    NumericValue* number = typeid(*held) == typeid(NumericValue)
                               ? static_cast<NumericValue*>(held)
                               : dynamic_cast<NumericValue*>(held);
    if (number != nullptr) {
      number->SetDoubleValue(best >= 0 ? plan.CategoryNumber(best)
                                       : NumericValue::GetSysmisValue());
    }
  } else {
    StringValue* text = typeid(*held) == typeid(StringValue) ? static_cast<StringValue*>(held)
                                                             : dynamic_cast<StringValue*>(held);
    if (text != nullptr) text->SetString(best >= 0 ? plan.CategoryText(best) : std::string_view());
  }
}

// ---------------------------------------------------------------------------
// Display.

void BayesNetModel::Display(std::ostream& os) const {
  os << "\nBegin Display of BayesNetModel." << std::endl;
  os << "Input variable names: ";
  for (const std::string& name : predictorNames_) os << name << " ";
  os << " Only prediction? " << (predictionOnly_ ? "True." : "False.") << std::endl;
  os << "Encoders: " << std::endl;
  os << "Target variable: ";
  if (targetVar_ != nullptr) targetVar_->Display(os);
  os << "Target categories: ";
  for (const ScoreValue* category : targetCategories_) os << category->GetString();
  os << "Target category counts: ";
  for (int count : targetCategoryCounts_) os << count << " ";
  os << std::endl << "Target probabilities: ";
  for (double probability : targetProbabilities_) os << probability << " ";
  os << std::endl;
  os << "Dict var index set up? " << (indexReady_ ? "True" : "False") << std::endl;
  os << "Predictor variables and their stats:";
  for (const ScoreDictVar* var : predictorVars_) var->Display(os);
  os << "End of BayesNetModel display." << std::endl;
}
