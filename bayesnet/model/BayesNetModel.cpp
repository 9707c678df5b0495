#include "bayesnet/model/BayesNetModel.h"

#include <memory>
#include <utility>

#include "host/data/BaseDictionary.h"
#include "bayesnet/model/InferenceNetwork.h"
#include "bayesnet/model/ScoringPlan.h"

#include "bayesnet/result/BayesNetClsResult.h"
#include "host/data/NumericValue.h"
#include "host/data/StringValue.h"
#include "host/data/TransformationDictionary.h"

// The model's structure and queries. Scoring is in BayesNetScoring.cpp,
// Display in BayesNetDisplay.cpp.

BayesNetModel::BayesNetModel()
    : predictionOnly_(false),
      targetVar_(nullptr),
      indexReady_(false),
      needDerivedPredictor_(false),
      paramLearnMethod_(MaxLikelihood),
      denseFactorLimit_(BlanketFactors::kFactorLimit) {
  SetMissingValuePolicy(MissingAsIs);  // the base's integer member, reset to 0
}

// The plan, which points at the encoders, goes first (members are destroyed
// in reverse order of declaration).
BayesNetModel::~BayesNetModel() = default;

// ---------------------------------------------------------------------------
// Structure.

void BayesNetModel::Prepare() {
  plan_ = std::make_unique<ScoringPlan>(*this, denseFactorLimit_);
  inferenceReady_.store(nullptr, std::memory_order_relaxed);
  inference_.reset();
}

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
  predictorIndex_.emplace(name, static_cast<int>(predictorNames_.size()));  // the first stays
  predictorNames_.push_back(name);
  predictorVars_.push_back(var);
  Changed();
}

void BayesNetModel::SetPredictorVarNames(const std::vector<std::string>& names) {
  predictorNames_ = names;
  predictorIndex_.clear();
  for (std::size_t i = 0; i < names.size(); ++i) {
    predictorIndex_.emplace(names[i], static_cast<int>(i));
  }
  Changed();
}

void BayesNetModel::AddEncoder(IVkEncoder* encoder) {
  encoders_.emplace_back(encoder);
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
  return i < encoders_.size() ? encoders_[i].get() : nullptr;
}

const IVkEncoder* BayesNetModel::GetEncoder(const std::string& name) const {
  return FindEncoder(name, GetIndex(name));
}

const IVkEncoder* BayesNetModel::FindEncoder(const std::string& name, int i) const {
  if (i >= 0 && i < static_cast<int>(encoders_.size()) && encoders_[i] != nullptr) {
    return encoders_[i].get();
  }
  if (GetVarRole(name) != TargetRole) return nullptr;
  return encoders_.empty() ? nullptr : encoders_.back().get();
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
  const auto found = predictorIndex_.find(name);
  return found == predictorIndex_.end() ? -1 : found->second;
}
