#include "bayesnet/model/BayesNetModel.h"

#include <memory>
#include <typeinfo>

#include "bayesnet/model/ScoringPlan.h"
#include "bayesnet/result/BayesNetClsResult.h"
#include "host/data/BaseDictionary.h"
#include "host/data/NumericValue.h"
#include "host/data/StringValue.h"
#include "host/data/TransformationDictionary.h"

namespace {

// Working vectors of one GetScore call. They live per thread and keep
// their capacity, so scoring allocates nothing once they have grown, and
// calls on different threads never share them.
struct ScoreScratch {
  std::vector<double> codes;                 // predictor i -> its code
  std::vector<int> planCodes;                // the same, for the plan
  std::vector<std::size_t> offsets;          // per factor of the plan
  std::vector<double> scores;                // target category -> score
  std::vector<const std::string*> children;  // the target's children
  std::vector<int> config;                   // a parent configuration
};

ScoreScratch& Scratch() {
  thread_local ScoreScratch scratch;
  return scratch;
}

// A code stored as a double back to an int (rounded half up; the codes that
// occur are whole and non-negative).
int ToCode(double x) { return static_cast<int>(x + 0.5); }

const std::vector<std::string>& EmptyNames() {
  static const std::vector<std::string> empty;
  return empty;
}

const std::string& EmptyName() {
  static const std::string empty;
  return empty;
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
  plan_.reset();  // points at the encoders and tables
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

void BayesNetModel::DiscardPlan() { plan_.reset(); }

void BayesNetModel::SetScoreDictionary(ScoreDictionary* dictionary) {
  DiscardPlan();
  BaseModel::SetScoreDictionary(dictionary);
}

void BayesNetModel::SetTransformationScoreDictionary(TransformationDictionary* dictionary) {
  DiscardPlan();
  BaseModel::SetTransformationScoreDictionary(dictionary);
}

void BayesNetModel::AddPredictorVar(const std::string& name, const ScoreDictVar* var) {
  DiscardPlan();
  predictorNames_.push_back(name);
  predictorVars_.push_back(var);
}

void BayesNetModel::SetPredictorVarNames(const std::vector<std::string>& names) {
  DiscardPlan();
  predictorNames_ = names;
}

void BayesNetModel::AddEncoder(IVkEncoder* encoder) {
  DiscardPlan();
  encoders_.push_back(encoder);
}

void BayesNetModel::SetTargetVar(const ScoreDictVar* var) {
  DiscardPlan();
  targetVar_ = var;
  if (var == nullptr) return;
  const ScoreValueLabelSet* labelSet = var->GetValueLabelSet();
  if (labelSet == nullptr) return;  // the categories stay as they were
  const std::vector<ScoreValueLabel*>& labels = labelSet->GetLabels();
  targetCategories_.resize(labels.size());
  for (std::size_t c = 0; c < labels.size(); ++c) targetCategories_[c] = labels[c]->GetValue();
}

void BayesNetModel::SetDerivedToDataField(const std::string& derived, const std::string& data) {
  DiscardPlan();
  derivedToData_[derived] = data;
  dataToDerived_[data] = derived;
}

void BayesNetModel::SetNeedDerivedPredictor(bool need) {
  DiscardPlan();
  needDerivedPredictor_ = need;
}

void BayesNetModel::SetParamLearnMethod(ParamLearnMethod method) {
  DiscardPlan();
  paramLearnMethod_ = method;
}

// The modifiable references discard the plan: the caller may change what
// it was compiled from.
std::map<std::string, std::map<std::string, BayesNetModel::ArcOrient>>&
BayesNetModel::GetLinkSource() {
  DiscardPlan();
  return linkSource_;
}

std::map<std::string, std::vector<std::string>>& BayesNetModel::GetParentsTable() {
  DiscardPlan();
  return parentsTable_;
}

std::map<std::string, BayesNetModel::CPTable>& BayesNetModel::GetCPT() {
  DiscardPlan();
  return cpt_;
}

// ---------------------------------------------------------------------------
// Queries.

std::vector<std::string> BayesNetModel::GetPredictorVarNames() const { return predictorNames_; }

const IVkEncoder* BayesNetModel::FindEncoder(const std::string& name) const {
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
  // encoders are the model's own; FindEncoder only avoids a second copy of
  // the lookup.
  DiscardPlan();
  return const_cast<IVkEncoder*>(FindEncoder(name));
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

bool BayesNetModel::GetParents(const std::string& node, std::vector<std::string>& parents) const {
  parents.clear();
  auto found = parentsTable_.find(node);
  if (found == parentsTable_.end()) return false;
  parents = found->second;
  return true;
}

void BayesNetModel::GetChildren(const std::string& node,
                                std::vector<std::string>& children) const {
  children.clear();
  auto found = linkSource_.find(node);
  if (found == linkSource_.end()) return;
  for (const auto& arc : found->second) {
    if (arc.second == ArcOut) children.push_back(arc.first);
  }
}

const BayesNetModel::CPTable& BayesNetModel::GetCPTable(const std::string& node) const {
  static const CPTable empty;
  auto found = cpt_.find(node);
  return found == cpt_.end() ? empty : found->second;
}

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
  indexReady_ = true;
}

const ScoreValue* BayesNetModel::LocateValue(int i, const ScoreCaseRecord* record,
                                             const ScoreCaseRecord* derived) const {
  if (i >= static_cast<int>(predictorVars_.size())) return nullptr;
  const ScoreDictVar* var = predictorVars_[i];
  if (var == nullptr) return nullptr;
  const ScoreValue* value = record->IsIndexed() ? record->GetValue(var->GetIndex())
                                                : record->GetValue(var->GetName());
  if (value == nullptr && derived != nullptr) value = derived->GetValue(var->GetName());
  return value;
}

// ---------------------------------------------------------------------------
// Scoring.

BayesNetClsResult* BayesNetModel::BeginScoring(const ScoreCaseRecord* record,
                                               ScoreResult*& result, bool derivedInRecord,
                                               bool& created) {
  if (!indexReady_ && record->IsIndexed()) {
    SetUpDictVarIndex(record, derivedInRecord);
    DiscardPlan();  // it holds the record positions
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

MCScore::MCStatus BayesNetModel::GetScoreLiteral(const ScoreCaseRecord* record,
                                                 ScoreResult*& result, bool derivedInRecord) {
  static const MCScore::MCStatus kMissing(90029, false);
  static const MCScore::MCStatus kNoScore(90021, false);
  if (record == nullptr) return kMissing;

  bool created = false;
  BayesNetClsResult* clsResult = BeginScoring(record, result, derivedInRecord, created);
  const ScoreCaseRecord* derived = DerivedValues(record, derivedInRecord, nullptr);

  const double sysmis = NumericValue::GetSysmisValue();
  ScoreScratch& scratch = Scratch();

  // Encode every predictor; one without a code makes the record missing.
  const int n = static_cast<int>(predictorNames_.size());
  std::vector<double>& codes = scratch.codes;
  codes.assign(n, sysmis);
  int valid = 0;
  for (int i = 0; i < n; ++i) {
    const ScoreValue* value = LocateValue(i, record, derived);
    if (value == nullptr) continue;
    const ScoreDictVar* var = predictorVars_[i];
    if (var->GetMeasure() == ScoreDictVar::Continuous && var->IsMissingValue(value)) continue;
    if (i >= static_cast<int>(encoders_.size()) || encoders_[i] == nullptr) continue;
    const int k = encoders_[i]->GetCode(value);
    if (k < 0) continue;
    codes[i] = k;
    ++valid;
  }

  const int numCategories = static_cast<int>(targetCategories_.size());
  bool scored = false;
  MCScore::MCStatus status = kMissing;
  std::vector<double>& scores = scratch.scores;
  int best = 0;
  if (valid == n) {
    if (numCategories < 1) {
      status = kNoScore;
    } else {
      scores.assign(numCategories, 0.0);
      ComputeScoresLiteral(codes, scores.data());
      if (ScoringPlan::NormaliseAndPick(scores.data(), numCategories, best)) {
        scored = true;
      } else {
        status = kNoScore;
      }
    }
  }

  if (scored) {
    if (!predictionOnly_) {
      clsResult->SetConfidence(scores[best]);
      for (int c = 0; c < numCategories; ++c) {
        clsResult->AddValuePercent(targetCategories_[c], scores[c]);
      }
    }
    SetPredictionValue(clsResult, created, targetCategories_[best]);
    return MCScore::MCStatus();
  }

  // Missing or no score: every category gets the system-missing value and
  // the prediction is empty; the confidence stays as it was.
  if (!predictionOnly_) {
    for (int c = 0; c < numCategories; ++c) {
      clsResult->AddValuePercent(targetCategories_[c], sysmis);
    }
  }
  SetPredictionValue(clsResult, created, nullptr);
  return status;
}

// The same algorithm as GetScoreLiteral, through the compiled plan: the
// names are resolved and the factors tabulated once, the products are
// formed in the same order, and the result is filled with the same values.
MCScore::MCStatus BayesNetModel::GetScore(const ScoreCaseRecord* record, ScoreResult*& result,
                                          bool derivedInRecord) {
  static const MCScore::MCStatus kMissing(90029, false);
  static const MCScore::MCStatus kNoScore(90021, false);
  if (record == nullptr) return kMissing;

  bool created = false;
  BayesNetClsResult* clsResult = BeginScoring(record, result, derivedInRecord, created);
  if (plan_ == nullptr) plan_ = std::make_unique<ScoringPlan>(*this, denseFactorLimit_);
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
    scratch.planCodes.resize(plan.NumPredictors());
    scratch.scores.resize(numCategories);
    scratch.offsets.resize(plan.NumFactors());
    codes = scratch.planCodes.data();
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
          // A code the tables do not cover: score this record literally.
          std::vector<double>& literalCodes = Scratch().codes;
          literalCodes.assign(codes, codes + plan.NumPredictors());
          ComputeScoresLiteral(literalCodes, scores);
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
    SetPredictionFromPlan(clsResult, created, best);
    return MCScore::MCStatus();
  }

  // Missing or no score: every category gets the system-missing value and
  // the prediction is empty; the confidence stays as it was.
  if (!predictionOnly_) {
    for (int c = 0; c < numCategories; ++c) scores[c] = NumericValue::GetSysmisValue();
    SetPercents(clsResult, scores);
  }
  SetPredictionFromPlan(clsResult, created, -1);
  return status;
}

void BayesNetModel::ComputeScoresLiteral(const std::vector<double>& codes, double* scores) const {
  ScoreScratch& scratch = Scratch();
  // The target's children, in name order, as pointers into the arcs.
  std::vector<const std::string*>& children = scratch.children;
  children.clear();
  const std::string& targetName = targetVar_ != nullptr ? targetVar_->GetName() : EmptyName();
  auto arcs = linkSource_.find(targetName);
  if (arcs != linkSource_.end()) {
    for (const auto& arc : arcs->second) {
      if (arc.second == ArcOut) children.push_back(&arc.first);
    }
  }
  // Each category's product: the target's factor, then each child's in
  // order, multiplied as plain probabilities.
  for (std::size_t c = 0; c < targetCategories_.size(); ++c) {
    const int category = static_cast<int>(c);
    double s = ComputeLocalScore(targetName, codes, category, scratch.config);
    for (const std::string* child : children) {
      s = s * ComputeLocalScore(*child, codes, category, scratch.config);
    }
    scores[c] = s;
  }
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

void BayesNetModel::SetPredictionFromPlan(BayesNetClsResult* result, bool created,
                                          int best) const {
  ScoreValue* held = result->GetMutablePrediction();
  if (created || held == nullptr) {
    SetPredictionValue(result, created, best >= 0 ? targetCategories_[best] : nullptr);
    return;
  }
  // In place, as SetPredictionValue does; the exact-type test spares the
  // dynamic_cast for the values this model creates, and gives the same
  // pointer.
  if (plan_->NumericTarget()) {
    NumericValue* number = typeid(*held) == typeid(NumericValue)
                               ? static_cast<NumericValue*>(held)
                               : dynamic_cast<NumericValue*>(held);
    if (number != nullptr) {
      number->SetDoubleValue(best >= 0 ? plan_->CategoryNumber(best)
                                       : NumericValue::GetSysmisValue());
    }
  } else {
    StringValue* text = typeid(*held) == typeid(StringValue) ? static_cast<StringValue*>(held)
                                                             : dynamic_cast<StringValue*>(held);
    if (text != nullptr) {
      text->SetString(best >= 0 ? plan_->CategoryText(best) : std::string_view());
    }
  }
}

void BayesNetModel::SetPredictionValue(BayesNetClsResult* result, bool created,
                                       const ScoreValue* category) const {
  const bool numeric = targetVar_ == nullptr || targetVar_->GetValueType() == ScoreValue::Numeric;
  ScoreValue* held = result->GetMutablePrediction();
  if (!created && held != nullptr) {
    // Update the existing prediction object in place. A prediction of a
    // foreign class (put there by someone else) is left as it is.
    if (numeric) {
      if (auto* number = dynamic_cast<NumericValue*>(held)) {
        number->SetDoubleValue(category != nullptr ? category->GetDouble()
                                                   : NumericValue::GetSysmisValue());
      }
    } else if (auto* text = dynamic_cast<StringValue*>(held)) {
      if (category != nullptr) {
        NumberTextBuffer buffer;
        text->SetString(category->GetStringView(buffer));
      } else {
        text->SetString(std::string_view());
      }
    }
    return;
  }
  ScoreValue* value;
  if (numeric) {
    value = new NumericValue(category != nullptr ? category->GetDouble()
                                                 : NumericValue::GetSysmisValue());
  } else {
    value = new StringValue(category != nullptr ? category->GetString() : std::string());
  }
  result->SetPrediction(value);  // the result owns it from here
}

double BayesNetModel::ComputeLocalScore(const std::string& node, const std::vector<double>& codes,
                                        int targetCategory) const {
  std::vector<int> config;
  return ComputeLocalScore(node, codes, targetCategory, config);
}

double BayesNetModel::ComputeLocalScore(const std::string& node, const std::vector<double>& codes,
                                        int targetCategory, std::vector<int>& config) const {
  const double sysmis = NumericValue::GetSysmisValue();
  const CPTable& table = GetCPTable(node);
  auto parentsEntry = parentsTable_.find(node);
  const std::vector<std::string>& parents =
      parentsEntry != parentsTable_.end() ? parentsEntry->second : EmptyNames();
  config.assign(parents.size(), 0);

  // The node's own value: the category being scored for the target, the
  // predictor's code otherwise.
  const std::string* targetName = targetVar_ != nullptr ? &targetVar_->GetName() : nullptr;
  double x = sysmis;
  if (targetName != nullptr && node == *targetName) {
    x = targetCategory;
  } else {
    const int i = GetIndex(node);
    if (i >= 0 && i < static_cast<int>(codes.size())) x = codes[i];
  }

  if (parents.empty()) {
    if (x == sysmis) return 0.0;
    if (table.empty()) return FallbackScore(node);
    const std::vector<double>& row = table.begin()->second;
    const int code = ToCode(x);
    return code >= 0 && code < static_cast<int>(row.size()) ? row[code] : 0.0;
  }

  for (std::size_t j = 0; j < parents.size(); ++j) {
    if (targetName != nullptr && parents[j] == *targetName) {
      config[j] = targetCategory;
      continue;
    }
    const int k = GetIndex(parents[j]);
    if (k < 0 || k >= static_cast<int>(codes.size()) || codes[k] == sysmis) return 0.0;
    config[j] = ToCode(codes[k]);
  }

  if (x == sysmis) return 0.0;
  auto row = table.find(config);
  if (row == table.end()) return FallbackScore(node);
  const int code = ToCode(x);
  return code >= 0 && code < static_cast<int>(row->second.size()) ? row->second[code] : 0.0;
}

double BayesNetModel::FallbackScore(const std::string& node) const {
  if (paramLearnMethod_ != AdjustedBayes) return 0.0;
  return FallbackScore(node, GetIndex(node));
}

double BayesNetModel::FallbackScore(const std::string& node, int index) const {
  if (paramLearnMethod_ != AdjustedBayes) return 0.0;
  int m = 0;
  if (const IVkEncoder* encoder = FindEncoder(node, index)) {
    m = encoder->GetNumCategories();
  } else if (const ScoreDictionary* dictionary = GetDictionary()) {
    if (const ScoreDictVar* var = dictionary->GetVariable(node)) m = var->GetNumCategories();
  }
  return m > 0 ? 1.0 / m : 1.0;
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
