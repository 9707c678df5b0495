#include "bayesnet/model/ScoringPlan.h"

#include <algorithm>
#include <cmath>
#include <typeinfo>

#include "bayesnet/encoders/VkBinningEncoder.h"
#include "bayesnet/encoders/VkCatNumericEncoder.h"
#include "bayesnet/encoders/VkCatStringEncoder.h"
#include "host/data/BaseDictVar.h"
#include "host/data/NumericValue.h"
#include "host/data/StringValue.h"
#include "host/data/TransformationDictionary.h"
#include "host/interfaces/ScoreCaseRecord.h"
#include "host/interfaces/ScoreDictVar.h"

namespace {

// Categories of other classes than the host's own values are checked
// pairwise for the in-place result refill; beyond this many the check is
// not worth its cost at build time.
constexpr std::size_t kPairwiseCheckLimit = 64;

// Whether AddValuePercent of each value in turn, on a list holding the
// values in order, lands on that value's own entry: every value equals
// itself and no earlier one (asked as AddValuePercent asks, the listed
// value with the new one as argument). Sorted, for any number of values,
// when all are NumericValues and StringValues (equal only to a value of
// their own class with the same number or text); pairwise otherwise.
bool Distinct(const std::vector<const ScoreValue*>& values) {
  std::vector<double> numbers;
  std::vector<std::string_view> texts;
  bool ownClasses = true;
  for (const ScoreValue* value : values) {
    if (value == nullptr) return false;
    const std::type_info& type = typeid(*value);
    if (type == typeid(NumericValue)) {
      numbers.push_back(static_cast<const NumericValue*>(value)->Number());
    } else if (type == typeid(StringValue)) {
      texts.push_back(static_cast<const StringValue*>(value)->GetText());
    } else {
      ownClasses = false;
      break;
    }
  }
  if (ownClasses) {
    for (double number : numbers) {
      if (!(number == number)) return false;  // NaN equals nothing, itself included
    }
    std::sort(numbers.begin(), numbers.end());
    std::sort(texts.begin(), texts.end());
    return std::adjacent_find(numbers.begin(), numbers.end()) == numbers.end() &&
           std::adjacent_find(texts.begin(), texts.end()) == texts.end();
  }
  if (values.size() > kPairwiseCheckLimit) return false;
  for (std::size_t c = 0; c < values.size(); ++c) {
    if (!(*values[c] == *values[c])) return false;
    for (std::size_t j = 0; j < c; ++j) {
      if (*values[j] == *values[c]) return false;
    }
  }
  return true;
}

// A value reached through the ScoreCaseRecord interface, as the cell a
// BaseCaseRecord would hold for it: numbers and texts of the host's own
// value classes are read out, any other class stays kOther. The classes
// are told by the address of their type_info (type_info's operator== may
// compare names); were a class to have two, kOther answers the same.
BaseCaseRecord::Cell CellOf(const ScoreValue* value) {
  BaseCaseRecord::Cell cell;
  cell.value = value;
  if (value == nullptr) return cell;
  const std::type_info* type = &typeid(*value);
  if (type == &typeid(NumericValue)) {
    cell.kind = BaseCaseRecord::kNumber;
    cell.number = static_cast<const NumericValue*>(value)->Number();
  } else if (type == &typeid(StringValue)) {
    cell.kind = BaseCaseRecord::kText;
    cell.text = static_cast<const StringValue*>(value)->GetText();
  }
  return cell;
}

}  // namespace

ScoringPlan::ScoringPlan(const BayesNetModel& model, std::size_t factorLimit) {
  const std::size_t n = model.predictorNames_.size();
  // Every name the factors use is resolved through this index (the first
  // position of each predictor name, as GetIndex finds it), once per name.
  predictorIndex_.reserve(n);
  for (std::size_t i = 0; i < n; ++i) {
    predictorIndex_.emplace(model.predictorNames_[i], static_cast<int>(i));
  }
  const TransformationDictionary* transformation = model.GetTransformationDictionary();
  predictors_.reserve(n);
  for (std::size_t i = 0; i < n; ++i) {
    Predictor p{nullptr, nullptr, 0, false, nullptr, -1, nullptr, 0, nullptr, nullptr, nullptr};
    if (i < model.predictorVars_.size()) p.var = model.predictorVars_[i];
    if (i < model.encoders_.size()) p.encoder = model.encoders_[i];
    if (p.var == nullptr || p.encoder == nullptr) {
      neverComplete_ = true;  // this predictor never gets a code
    } else {
      p.name = &p.var->GetName();
      p.position = p.var->GetIndex();
      p.checkMissing = p.var->GetMeasure() == ScoreDictVar::Continuous;
      if (typeid(*p.var) == typeid(BaseDictVar)) p.dictVar = static_cast<const BaseDictVar*>(p.var);
      if (transformation != nullptr) {
        p.derivedPosition = transformation->GetDerivedPosition(*p.name);
        if (p.derivedPosition >= 0) derivedFields_.push_back(p.derivedPosition);
      }
      p.numCodes = p.encoder->GetNumCategories();
      if (typeid(*p.encoder) == typeid(VkBinningEncoder)) {
        p.binning = static_cast<const VkBinningEncoder*>(p.encoder);
      } else if (typeid(*p.encoder) == typeid(VkCatNumericEncoder)) {
        p.numbers = static_cast<const VkCatNumericEncoder*>(p.encoder);
      } else if (typeid(*p.encoder) == typeid(VkCatStringEncoder)) {
        p.strings = static_cast<const VkCatStringEncoder*>(p.encoder);
      }
    }
    predictors_.push_back(p);
  }

  const ScoreDictVar* target = model.targetVar_;
  targetName_ = target != nullptr ? &target->GetName() : nullptr;
  numericTarget_ = target == nullptr || target->GetValueType() == ScoreValue::Numeric;

  const std::vector<const ScoreValue*>& categories = model.targetCategories_;
  const std::size_t k = categories.size();
  for (std::size_t c = 0; c < k; ++c) {
    const ScoreValue* value = categories[c];
    categoryNumbers_.push_back(value != nullptr ? value->GetDouble() : 0.0);
    categoryTexts_.push_back(value != nullptr ? value->GetString() : std::string());
  }
  categoriesDistinct_ = Distinct(categories);

  const std::string targetNode = target != nullptr ? target->GetName() : std::string();
  std::vector<std::string> children;
  model.GetChildren(targetNode, children);
  std::size_t planBudget = kPlanLimit;
  AddFactor(model, targetNode, factorLimit, planBudget);
  for (const std::string& child : children) AddFactor(model, child, factorLimit, planBudget);
  for (const Factor& factor : factors_) targetStrides_.push_back(factor.targetStride);
  TabulatePosteriors();
  predictorIndex_ = {};  // only needed while building
}

bool ScoringPlan::NormaliseAndPick(double* scores, int numCategories, int& best) {
  double sum = 0.0;
  for (int c = 0; c < numCategories; ++c) sum += scores[c];
  // An infinite sum (factors beyond 1 that overflow) would make every
  // probability 0 or NaN: no score either.
  if (!(sum > 0.0) || std::isinf(sum)) return false;
  for (int c = 0; c < numCategories; ++c) scores[c] = scores[c] / sum;
  best = 0;
  for (int c = 1; c < numCategories; ++c) {
    if (scores[c] > scores[best]) best = c;
  }
  return true;
}

void ScoringPlan::TabulatePosteriors() {
  const std::size_t k = categoryNumbers_.size();
  if (anySparse_ || k == 0) return;
  // The predictors the factors read, each once, and how many combinations
  // of their codes there are.
  std::vector<int> used;
  for (const Input& input : inputs_) {
    if (std::find(used.begin(), used.end(), input.predictor) == used.end()) {
      used.push_back(input.predictor);
    }
  }
  std::size_t combinations = 1;
  for (int p : used) {
    const std::size_t codes = static_cast<std::size_t>(std::max(predictors_[p].numCodes, 0));
    if (codes == 0 || combinations > kPosteriorLimit / k / codes) return;
    combinations *= codes;
  }
  std::vector<Input> inputs(used.size());
  std::size_t stride = 1;
  for (std::size_t j = used.size(); j-- > 0;) {
    inputs[j] = Input{used[j], stride};
    stride *= static_cast<std::size_t>(predictors_[used[j]].numCodes);
  }

  // Each combination scored and normalised by the very functions a record
  // goes through, so the table holds their results bit for bit.
  posteriors_.resize(combinations * k);
  std::vector<int> best(combinations);
  std::vector<int> codes(predictors_.size(), 0);
  std::vector<std::size_t> offsets(factors_.size());
  for (std::size_t e = 0; e < combinations; ++e) {
    std::size_t rest = e;
    for (std::size_t j = used.size(); j-- > 0;) {
      const std::size_t n = static_cast<std::size_t>(predictors_[used[j]].numCodes);
      codes[used[j]] = static_cast<int>(rest % n);
      rest /= n;
    }
    double* scores = posteriors_.data() + e * k;
    Score(codes.data(), scores, offsets.data());
    best[e] = -1;
    NormaliseAndPick(scores, static_cast<int>(k), best[e]);
  }
  posteriorInputs_ = std::move(inputs);
  posteriorBest_ = std::move(best);
}

int ScoringPlan::IndexOf(const std::string& name) const {
  auto found = predictorIndex_.find(name);
  return found == predictorIndex_.end() ? -1 : found->second;
}

int ScoringPlan::Source(const std::string& name) const {
  if (targetName_ != nullptr && name == *targetName_) return kTarget;
  const int i = IndexOf(name);
  return i >= 0 && i < NumPredictors() ? i : kNeither;
}

void ScoringPlan::AddFactor(const BayesNetModel& model, const std::string& node,
                            std::size_t factorLimit, std::size_t& planBudget) {
  // The sources of the table's dimensions: the parents in column order,
  // then the node itself.
  std::vector<int> sources;
  auto parents = model.parentsTable_.find(node);
  if (parents != model.parentsTable_.end()) {
    for (const std::string& parent : parents->second) sources.push_back(Source(parent));
  }
  sources.push_back(Source(node));

  // A source that is neither target nor predictor has one (unused) slot:
  // ComputeLocalScore gives 0.0 for every entry then.
  std::vector<std::size_t> dims;
  for (int source : sources) {
    if (source == kTarget) {
      dims.push_back(categoryNumbers_.size());
    } else if (source == kNeither) {
      dims.push_back(1);
    } else {
      dims.push_back(static_cast<std::size_t>(std::max(predictors_[source].numCodes, 0)));
    }
  }
  const std::size_t limit = std::min(factorLimit, planBudget);
  std::size_t total = 1;
  bool tooLarge = false;
  for (std::size_t d : dims) {
    if (d == 0) total = 0;
  }
  for (std::size_t j = 0; j < dims.size() && total != 0 && !tooLarge; ++j) {
    if (total > limit / dims[j]) {
      tooLarge = true;
    } else {
      total *= dims[j];
    }
  }

  Factor factor;
  if (tooLarge || total > limit) {
    factor.sparse = true;
    factor.parents.assign(sources.begin(), sources.end() - 1);
    factor.node = sources.back();
    factor.table = &model.GetCPTable(node);
    factor.fallback = model.FallbackScore(node, IndexOf(node));
    factors_.push_back(std::move(factor));
    anySparse_ = true;
    return;
  }
  planBudget -= total;
  factor.offset = values_.size();
  factor.firstInput = inputs_.size();

  // Row-major strides; the target's dimensions fold into one stride over c.
  std::vector<std::size_t> strides(dims.size());
  std::size_t stride = 1;
  for (std::size_t j = dims.size(); j-- > 0;) {
    strides[j] = stride;
    stride *= dims[j];
    if (sources[j] == kTarget) {
      factor.targetStride += strides[j];
    } else if (sources[j] != kNeither) {
      inputs_.push_back(Input{sources[j], strides[j]});
    }
  }
  factor.numInputs = inputs_.size() - factor.firstInput;

  values_.resize(factor.offset + total, 0.0);
  FillDense(model.GetCPTable(node), model.FallbackScore(node, IndexOf(node)), sources, dims,
            strides, values_.data() + factor.offset, total);
  factors_.push_back(std::move(factor));
}

void ScoringPlan::FillDense(const BayesNetModel::CPTable& table, double fallback,
                            const std::vector<int>& sources, const std::vector<std::size_t>& dims,
                            const std::vector<std::size_t>& strides, double* values,
                            std::size_t total) {
  // What ComputeLocalScore gives for every combination of digits, found
  // from the table's rows rather than entry by entry. The node is the last
  // dimension (stride 1). Where a predictor or the target fills two
  // dimensions, entries with differing digits are never read; the ones read
  // get what ComputeLocalScore gives for their consistent codes.
  const std::size_t numParents = sources.size() - 1;
  const std::size_t nodeCodes = dims.back();
  // A node or parent that is neither target nor predictor: 0.0 everywhere.
  for (int source : sources) {
    if (source == kNeither) return;
  }
  auto fillRow = [&](std::size_t base, const std::vector<double>& row) {
    for (std::size_t x = 0; x < nodeCodes; ++x) values[base + x] = x < row.size() ? row[x] : 0.0;
  };
  if (numParents == 0) {
    // The first row, whatever its configuration; the fallback for none.
    if (table.empty()) {
      std::fill(values, values + total, fallback);
    } else {
      fillRow(0, table.begin()->second);
    }
    return;
  }
  // Configurations the table lacks get the fallback; each row the table
  // has lands on the entries of its configuration, if the codes are in
  // range (a row out of range is one no record reaches).
  if (fallback != 0.0) std::fill(values, values + total, fallback);
  for (const auto& [config, row] : table) {
    if (config.size() != numParents) continue;
    std::size_t base = 0;
    bool inRange = true;
    for (std::size_t j = 0; j < numParents && inRange; ++j) {
      inRange = config[j] >= 0 && static_cast<std::size_t>(config[j]) < dims[j];
      if (inRange) base += static_cast<std::size_t>(config[j]) * strides[j];
    }
    if (inRange) fillRow(base, row);
  }
}

ScoringPlan::Encoding ScoringPlan::Encode(const ScoreCaseRecord* record,
                                          const ScoreCaseRecord* derived, int* codes) const {
  if (neverComplete_) return Encoding::Missing;
  // The host's own records, read by position, are read cell by cell.
  const bool indexed = record->IsIndexed();
  const BaseCaseRecord* cells = indexed && typeid(*record) == typeid(BaseCaseRecord)
                                    ? static_cast<const BaseCaseRecord*>(record)
                                    : nullptr;
  const int numCells = cells != nullptr ? cells->GetNumFields() : 0;
  bool outside = false;
  BaseCaseRecord::Cell own;  // a value not in a cell, described
  for (std::size_t i = 0; i < predictors_.size(); ++i) {
    const Predictor& p = predictors_[i];
    // The common case inline: a value in the record's cells.
    const BaseCaseRecord::Cell* cell = nullptr;
    if (p.position >= 0 && p.position < numCells) cell = &cells->GetCell(p.position);
    if (cell == nullptr || cell->value == nullptr) {
      cell = Locate(p, cells != nullptr ? nullptr : record, indexed, derived, own);
    }
    if (cell == nullptr) return Encoding::Missing;
    const int code = CodeOf(p, *cell);
    if (code < 0) return Encoding::Missing;
    if (code >= p.numCodes) outside = true;
    codes[i] = code;
  }
  return outside ? Encoding::OutsidePlan : Encoding::Complete;
}

const BaseCaseRecord::Cell* ScoringPlan::Locate(const Predictor& p, const ScoreCaseRecord* record,
                                                bool indexed, const ScoreCaseRecord* derived,
                                                BaseCaseRecord::Cell& own) {
  if (record != nullptr) {
    const ScoreValue* value = indexed ? record->GetValue(p.position) : record->GetValue(*p.name);
    if (value != nullptr) {
      own = CellOf(value);
      return &own;
    }
  }
  if (derived == nullptr) return nullptr;
  // The model's derived values come in the host's own records, whose
  // fields are the transformation dictionary's, in order.
  if (p.derivedPosition >= 0 && typeid(*derived) == typeid(BaseCaseRecord)) {
    const auto* derivedCells = static_cast<const BaseCaseRecord*>(derived);
    if (p.derivedPosition < derivedCells->GetNumFields()) {
      const BaseCaseRecord::Cell& cell = derivedCells->GetCell(p.derivedPosition);
      return cell.value != nullptr ? &cell : nullptr;
    }
  }
  const ScoreValue* value = derived->GetValue(*p.name);
  if (value == nullptr) return nullptr;
  own = CellOf(value);
  return &own;
}

int ScoringPlan::CodeOf(const Predictor& p, const BaseCaseRecord::Cell& cell) {
  // Missing for the variable: IsMissingValue, inlined for a BaseDictVar
  // that declares no missing values (then only the system-missing value
  // is missing, and a StringValue never is).
  if (p.checkMissing) {
    if (p.dictVar == nullptr || p.dictVar->HasMissingValues()) {
      if (p.var->IsMissingValue(cell.value)) return -1;
    } else if (cell.kind == BaseCaseRecord::kNumber) {
      if (cell.number == NumericValue::kSystemMissing) return -1;
    } else if (cell.kind == BaseCaseRecord::kOther) {
      if (cell.value->IsSystemMissingValue()) return -1;
    }
  }
  // The encoders' GetCode, without the virtual calls where the classes of
  // both the encoder and the value are known.
  if (cell.kind == BaseCaseRecord::kNumber) {
    if (p.binning != nullptr) return p.binning->CodeOfNumber(cell.number);
    if (p.numbers != nullptr) return p.numbers->CodeOfNumber(cell.number);
  } else if (cell.kind == BaseCaseRecord::kText && p.strings != nullptr) {
    return p.strings->CodeOfText(cell.text);
  }
  return p.encoder->GetCode(cell.value);
}

template <int kBlock>
void ScoringPlan::MultiplyBlock(int first, const std::size_t* offsets, double* scores) const {
  const double* values = values_.data();
  const std::size_t* steps = targetStrides_.data();
  const std::size_t numFactors = factors_.size();
  double s[kBlock];
  for (int j = 0; j < kBlock; ++j) {
    s[j] = values[offsets[0] + static_cast<std::size_t>(first + j) * steps[0]];
  }
  for (std::size_t f = 1; f < numFactors; ++f) {
    const double* row = values + offsets[f];
    const std::size_t step = steps[f];
    for (int j = 0; j < kBlock; ++j) {
      s[j] = s[j] * row[static_cast<std::size_t>(first + j) * step];
    }
  }
  for (int j = 0; j < kBlock; ++j) scores[first + j] = s[j];
}

void ScoringPlan::Score(const int* codes, double* scores, std::size_t* offsets) const {
  if (anySparse_) {
    ScoreWithSparse(codes, scores);
    return;
  }
  // Each factor's row for this record, then each category's product in
  // the algorithm's order: s = target factor, s = s * child factor, ...
  const std::size_t numFactors = factors_.size();
  for (std::size_t f = 0; f < numFactors; ++f) {
    const Factor& factor = factors_[f];
    std::size_t offset = factor.offset;
    const Input* input = inputs_.data() + factor.firstInput;
    for (std::size_t i = 0; i < factor.numInputs; ++i) {
      offset += static_cast<std::size_t>(codes[input[i].predictor]) * input[i].stride;
    }
    offsets[f] = offset;
  }
  // Up to four categories at a time, so that their independent chains of
  // multiplications overlap.
  const int k = NumCategories();
  int c = 0;
  for (; c + 4 <= k; c += 4) MultiplyBlock<4>(c, offsets, scores);
  switch (k - c) {
    case 3: MultiplyBlock<3>(c, offsets, scores); break;
    case 2: MultiplyBlock<2>(c, offsets, scores); break;
    case 1: MultiplyBlock<1>(c, offsets, scores); break;
    default: break;
  }
}

void ScoringPlan::ScoreWithSparse(const int* codes, double* scores) const {
  thread_local std::vector<int> config;  // a parent configuration; keeps its capacity
  const int k = NumCategories();
  for (std::size_t f = 0; f < factors_.size(); ++f) {
    const Factor& factor = factors_[f];
    const double* values = nullptr;
    std::size_t step = 0;
    if (!factor.sparse) {
      std::size_t offset = factor.offset;
      const Input* input = inputs_.data() + factor.firstInput;
      for (std::size_t i = 0; i < factor.numInputs; ++i) {
        offset += static_cast<std::size_t>(codes[input[i].predictor]) * input[i].stride;
      }
      values = values_.data() + offset;
      step = factor.targetStride;
    }
    for (int c = 0; c < k; ++c) {
      const double value = factor.sparse ? SparseValue(factor, codes, c, config)
                                         : values[static_cast<std::size_t>(c) * step];
      scores[c] = f == 0 ? value : scores[c] * value;
    }
  }
}

double ScoringPlan::SparseValue(const Factor& factor, const int* codes, int c,
                                std::vector<int>& config) {
  // ComputeLocalScore with the names already resolved; every predictor has
  // a code here, so only "neither" stands for the system-missing value.
  auto code = [&](int source) { return source == kTarget ? c : codes[source]; };
  if (factor.parents.empty()) {
    if (factor.node == kNeither) return 0.0;
    if (factor.table->empty()) return factor.fallback;
    const std::vector<double>& row = factor.table->begin()->second;
    const int x = code(factor.node);
    return x >= 0 && x < static_cast<int>(row.size()) ? row[x] : 0.0;
  }
  config.resize(factor.parents.size());
  for (std::size_t j = 0; j < factor.parents.size(); ++j) {
    if (factor.parents[j] == kNeither) return 0.0;
    config[j] = code(factor.parents[j]);
  }
  if (factor.node == kNeither) return 0.0;
  auto row = factor.table->find(config);
  if (row == factor.table->end()) return factor.fallback;
  const int x = code(factor.node);
  return x >= 0 && x < static_cast<int>(row->second.size()) ? row->second[x] : 0.0;
}

int ScoringPlan::NumDenseFactors() const {
  int dense = 0;
  for (const Factor& factor : factors_) dense += factor.sparse ? 0 : 1;
  return dense;
}

int ScoringPlan::NumSparseFactors() const {
  return static_cast<int>(factors_.size()) - NumDenseFactors();
}
