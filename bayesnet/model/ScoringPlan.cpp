#include "bayesnet/model/ScoringPlan.h"

#include <algorithm>
#include <cmath>

#include "bayesnet/encoders/VkBinningEncoder.h"
#include "bayesnet/encoders/VkCatNumericEncoder.h"
#include "bayesnet/encoders/VkCatStringEncoder.h"
#include "host/data/BaseDictVar.h"
#include "host/data/ExactClass.h"
#include "host/data/NumericValue.h"
#include "host/interfaces/ScoreCaseRecord.h"
#include "host/interfaces/ScoreDictVar.h"
#include "host/data/StringValue.h"
#include "host/data/TransformationDictionary.h"

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
    const BaseCaseRecord::Cell cell = exact_class::CellOf(value);
    if (cell.kind == BaseCaseRecord::kNumber) {
      numbers.push_back(cell.number);
    } else if (cell.kind == BaseCaseRecord::kText) {
      texts.push_back(cell.text);
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

}  // namespace

ScoringPlan::ScoringPlan(const BayesNetModel& model, std::size_t factorLimit) {
  const std::vector<std::string> names = model.GetPredictorVarNames();
  const std::vector<const ScoreDictVar*>& vars = model.GetPredictorVars();
  const std::size_t n = names.size();
  // Every name the factors use is resolved through this index (the first
  // position of each predictor name, as the model's lookups find it), once
  // per name.
  predictorIndex_.reserve(n);
  for (std::size_t i = 0; i < n; ++i) predictorIndex_.emplace(names[i], static_cast<int>(i));
  const TransformationDictionary* transformation = model.GetTransformationDictionary();
  predictors_.reserve(n);
  for (std::size_t i = 0; i < n; ++i) {
    Predictor p{nullptr, nullptr, 0, false, nullptr, -1, nullptr, 0, nullptr, nullptr, nullptr};
    if (i < vars.size()) p.var = vars[i];
    p.encoder = model.GetEncoderAt(i);
    if (p.var == nullptr || p.encoder == nullptr) {
      neverComplete_ = true;  // this predictor never gets a code
    } else {
      p.name = &p.var->GetName();
      p.position = p.var->GetIndex();
      p.checkMissing = p.var->GetMeasure() == ScoreDictVar::Continuous;
      p.dictVar = exact_class::As<const BaseDictVar>(p.var);
      if (transformation != nullptr) {
        p.derivedPosition = transformation->GetDerivedPosition(*p.name);
        if (p.derivedPosition >= 0) derivedFields_.push_back(p.derivedPosition);
      }
      p.numCodes = p.encoder->GetNumCategories();
      p.binning = exact_class::As<const VkBinningEncoder>(p.encoder);
      p.numbers = exact_class::As<const VkCatNumericEncoder>(p.encoder);
      p.strings = exact_class::As<const VkCatStringEncoder>(p.encoder);
    }
    predictors_.push_back(p);
    derivedInputs_.push_back(p.derivedPosition >= 0
                                 ? CompileDerived(p, *transformation, model.GetDictionary())
                                 : DerivedInput());
  }

  const ScoreDictVar* target = model.ScoredTarget();
  hasTarget_ = target != nullptr;
  if (hasTarget_) targetName_ = target->GetName();
  numericTarget_ = target == nullptr || target->GetValueType() == ScoreValue::Numeric;

  const std::vector<const ScoreValue*>& categories = model.GetTargetCategories();
  const std::size_t k = categories.size();
  for (std::size_t c = 0; c < k; ++c) {
    const ScoreValue* value = categories[c];
    categoryNumbers_.push_back(value != nullptr ? value->GetDouble() : 0.0);
    categoryTexts_.push_back(value != nullptr ? value->GetString() : std::string());
  }
  categoriesDistinct_ = Distinct(categories);

  // The target's factor, then each child's, in name order.
  std::size_t planBudget = kPlanLimit;
  AddFactor(model, targetName_, factorLimit, planBudget);
  const auto& links = model.GetLinkSource();
  if (auto arcs = links.find(targetName_); arcs != links.end()) {
    for (const auto& [child, orient] : arcs->second) {
      if (orient == BayesNetModel::ArcOut) AddFactor(model, child, factorLimit, planBudget);
    }
  }
  for (const Factor& factor : factors_) targetStrides_.push_back(factor.targetStride);
  TabulatePosteriors();
  predictorIndex_ = {};  // only needed while building
}

void ScoringPlan::UsePositions() {
  for (Predictor& p : predictors_) {
    if (p.var != nullptr) p.position = p.var->GetIndex();
  }
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
  if (hasTarget_ && name == targetName_) return kTarget;
  const int i = IndexOf(name);
  return i >= 0 && i < NumPredictors() ? i : kNeither;
}

void ScoringPlan::AddFactor(const BayesNetModel& model, const std::string& node,
                            std::size_t factorLimit, std::size_t& planBudget) {
  // The sources of the table's dimensions: the parents in column order,
  // then the node itself.
  std::vector<int> sources;
  const auto& parentsTable = model.GetParentsTable();
  auto parents = parentsTable.find(node);
  if (parents != parentsTable.end()) {
    for (const std::string& parent : parents->second) sources.push_back(Source(parent));
  }
  sources.push_back(Source(node));

  // A source that is neither target nor predictor has one (unused) slot:
  // the factor is 0.0 everywhere then.
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
  factor.parents.assign(sources.begin(), sources.end() - 1);
  factor.node = sources.back();
  factor.zero = std::find(sources.begin(), sources.end(), kNeither) != sources.end();
  const auto& tables = model.GetCPT();
  if (const auto table = tables.find(node); table != tables.end()) factor.table = table->second;
  factor.fallback = FallbackScore(model, node);
  if (tooLarge || total > limit) {
    factor.sparse = true;
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
  factor.FillDense(dims, strides, values_.data() + factor.offset, total);
  factors_.push_back(std::move(factor));
}

double ScoringPlan::FallbackScore(const BayesNetModel& model, const std::string& node) {
  if (model.GetParamLearnMethod() != BayesNetModel::AdjustedBayes) return 0.0;
  int m = 0;
  if (const IVkEncoder* encoder = model.GetEncoder(node)) {
    m = encoder->GetNumCategories();
  } else if (const ScoreDictionary* dictionary = model.GetDictionary()) {
    if (const ScoreDictVar* var = dictionary->GetVariable(node)) m = var->GetNumCategories();
  }
  return m > 0 ? 1.0 / m : 1.0;
}

const std::vector<double>* ScoringPlan::Factor::Row(const std::vector<int>& config) const {
  if (parents.empty()) return table.empty() ? nullptr : &table.begin()->second;
  const auto row = table.find(config);
  return row == table.end() ? nullptr : &row->second;
}

double ScoringPlan::Factor::Value(const int* codes, int c, std::vector<int>& config) const {
  if (zero) return 0.0;
  auto code = [&](int source) { return source == kTarget ? c : codes[source]; };
  config.resize(parents.size());
  for (std::size_t j = 0; j < parents.size(); ++j) config[j] = code(parents[j]);
  return Entry(Row(config), code(node));
}

void ScoringPlan::Factor::FillDense(const std::vector<std::size_t>& dims,
                                    const std::vector<std::size_t>& strides, double* values,
                                    std::size_t total) const {
  // Entry(Row(configuration), x) for every configuration of the parents'
  // digits and every digit x of the node (the last dimension, stride 1),
  // found from the table's rows rather than configuration by configuration:
  // a configuration the table lacks gets Entry(null, x), each row the table
  // has lands on the entries of its configuration if its codes are in range
  // (a row out of range is one no record reaches). Where a predictor or the
  // target fills two dimensions, entries with differing digits are never
  // read.
  if (zero) return;  // the entries are 0.0 on entry
  const std::size_t nodeCodes = dims.back();
  auto fillRow = [&](std::size_t base, const std::vector<double>* row) {
    for (std::size_t x = 0; x < nodeCodes; ++x) values[base + x] = Entry(row, static_cast<int>(x));
  };
  if (parents.empty()) {
    fillRow(0, Row({}));
    return;
  }
  if (fallback != 0.0) std::fill(values, values + total, fallback);  // Entry(null, x)
  for (const auto& [config, row] : table) {
    if (config.size() != parents.size()) continue;
    std::size_t base = 0;
    bool inRange = true;
    for (std::size_t j = 0; j < parents.size() && inRange; ++j) {
      inRange = config[j] >= 0 && static_cast<std::size_t>(config[j]) < dims[j];
      if (inRange) base += static_cast<std::size_t>(config[j]) * strides[j];
    }
    if (inRange) fillRow(base, &row);
  }
}

ScoringPlan::Encoding ScoringPlan::Encode(const ScoreCaseRecord* record,
                                          const ScoreCaseRecord* derived, int* codes) const {
  if (neverComplete_) return Encoding::Missing;
  // The host's own records, read by position, are read cell by cell.
  const bool indexed = record->IsIndexed();
  const BaseCaseRecord* cells = indexed ? exact_class::As<const BaseCaseRecord>(record) : nullptr;
  return cells != nullptr ? EncodeFrom<true>(record, cells, indexed, derived, codes)
                          : EncodeFrom<false>(record, nullptr, indexed, derived, codes);
}

template <bool kCells>
ScoringPlan::Encoding ScoringPlan::EncodeFrom(const ScoreCaseRecord* record,
                                              const BaseCaseRecord* cells, bool indexed,
                                              const ScoreCaseRecord* derived, int* codes) const {
  const int numCells = kCells ? cells->GetNumFields() : 0;
  bool outside = false;
  BaseCaseRecord::Cell own;  // a value not in a cell, described
  for (std::size_t i = 0; i < predictors_.size(); ++i) {
    const Predictor& p = predictors_[i];
    // The common case inline: a value in the record's cells.
    const BaseCaseRecord::Cell* cell = nullptr;
    if (kCells && p.position >= 0 && p.position < numCells) cell = &cells->GetCell(p.position);
    if (cell == nullptr || cell->value == nullptr) {
      cell = Locate(p, kCells ? nullptr : record, indexed, derived, own);
    }
    if (cell == nullptr) return Encoding::Missing;
    const int code = CodeOf(p, *cell);
    if (code < 0) return Encoding::Missing;
    if (code >= p.numCodes) outside = true;
    codes[i] = code;
  }
  return outside ? Encoding::OutsidePlan : Encoding::Complete;
}

ScoringPlan::DerivedInput ScoringPlan::CompileDerived(
    const Predictor& p, const TransformationDictionary& transformation,
    const ScoreDictionary* dataDictionary) const {
  DerivedInput derived;
  const Discretization* d = transformation.GetDiscretization(p.derivedPosition);
  if (d == nullptr) return derived;
  // The input is missing when it has no value or holds the system-missing
  // value; a variable that declares missing values of its own asks the
  // value itself, which only GetScore has.
  const ScoreDictVar* inputVar =
      dataDictionary != nullptr ? dataDictionary->GetVariable(d->field) : nullptr;
  if (inputVar != nullptr) {
    const BaseDictVar* plain = exact_class::As<const BaseDictVar>(inputVar);
    if (plain == nullptr || plain->HasMissingValues()) return derived;
  }
  derived.field = d->field;
  derived.bins = d->bins;
  // Each choice's value, made as the derived-values record holds it, and
  // coded as Encode codes a derived cell.
  BaseCaseRecord value(std::vector<std::string>{*p.name}, true);
  auto codeOf = [&](int choice) {
    transformation.SetOutcomeValue(p.derivedPosition, choice, value, 0);
    const BaseCaseRecord::Cell& cell = value.GetCell(0);
    return cell.value != nullptr ? CodeOf(p, cell) : -1;
  };
  for (std::size_t bin = 0; bin < d->bins.size(); ++bin) {
    derived.binCodes.push_back(codeOf(static_cast<int>(bin)));
  }
  derived.defaultCode = codeOf(TransformationDictionary::kDefaultChoice);
  derived.missingCode = codeOf(TransformationDictionary::kMissingChoice);
  derived.compiled = true;
  return derived;
}

bool ScoringPlan::BindColumns(const ColumnScoring::Column* columns, int numColumns,
                              bool derivedValues, std::vector<ColumnSource>& bound) const {
  if (neverComplete_) return false;
  bound.assign(predictors_.size(), ColumnSource());
  for (std::size_t i = 0; i < predictors_.size(); ++i) {
    const Predictor& p = predictors_[i];
    const bool derived = derivedValues && p.derivedPosition >= 0;
    const ColumnScoring::Column* column =
        p.position >= 0 && p.position < numColumns ? &columns[p.position] : nullptr;
    if (column != nullptr && column->numbers == nullptr && column->texts == nullptr) {
      column = nullptr;  // missing in every row
    }
    if (column != nullptr) {
      // A derived value would stand in for the record's missing cells.
      if (derived) return false;
      // A missing-value test beyond the system-missing value asks the value.
      const bool plainMissing =
          !p.checkMissing || (p.dictVar != nullptr && !p.dictVar->HasMissingValues());
      if (column->numbers != nullptr) {
        if (!plainMissing || (p.binning == nullptr && p.numbers == nullptr)) return false;
      } else if (!plainMissing || p.strings == nullptr) {
        return false;
      }
      bound[i].column = column;
    } else if (derived) {
      const DerivedInput& input = derivedInputs_[i];
      if (!input.compiled) return false;
      bound[i].derived = &input;
      // The input is found by name, the first field of that name.
      for (int c = 0; c < numColumns; ++c) {
        if (columns[c].name != input.field) continue;
        if (columns[c].texts != nullptr) return false;
        if (columns[c].numbers != nullptr) bound[i].input = &columns[c];
        break;
      }
    }
  }
  return true;
}

void ScoringPlan::EncodeRows(const ColumnSource* bound, std::size_t first, std::size_t count,
                             int* codes, Encoding* encodings) const {
  const std::size_t n = predictors_.size();
  std::fill(encodings, encodings + count, Encoding::Complete);
  // Column by column, so that each column is read in order: a row's codes
  // do not depend on each other, and a row with one missing code is
  // Missing whichever predictor has it. Each kind of column has a loop of
  // its own.
  for (std::size_t i = 0; i < n; ++i) {
    const ColumnSource& source = bound[i];
    const ColumnScoring::Column* column = source.column;
    const Predictor& p = predictors_[i];
    const int numCodes = p.numCodes;
    auto put = [&](std::size_t r, int code) {
      if (code < 0) {
        encodings[r] = Encoding::Missing;
      } else {
        codes[r * n + i] = code;
        if (code >= numCodes) encodings[r] = Encoding::OutsidePlan;
      }
    };
    const unsigned char* missing =
        column != nullptr && column->missing != nullptr ? column->missing + first : nullptr;
    if (column == nullptr) {
      for (std::size_t r = 0; r < count; ++r) {
        if (encodings[r] == Encoding::Missing) continue;
        put(r, source.derived != nullptr ? DerivedCode(*source.derived, source.input, first + r)
                                         : -1);
      }
    } else if (column->numbers != nullptr) {
      const double* numbers = column->numbers + first;
      for (std::size_t r = 0; r < count; ++r) {
        if (encodings[r] == Encoding::Missing) continue;
        const double number = numbers[r];
        // NaN is no value; the system-missing value is missing when checked.
        if ((missing != nullptr && missing[r] != 0) || number != number ||
            (p.checkMissing && number == NumericValue::kSystemMissing)) {
          put(r, -1);
        } else {
          put(r, p.binning != nullptr ? p.binning->CodeOfNumber(number)
                                      : p.numbers->CodeOfNumber(number));
        }
      }
    } else {
      const std::string_view* texts = column->texts + first;
      for (std::size_t r = 0; r < count; ++r) {
        if (encodings[r] == Encoding::Missing) continue;
        const std::string_view text = texts[r];
        // The empty text is no value.
        put(r, (missing != nullptr && missing[r] != 0) || text.empty()
                   ? -1
                   : p.strings->CodeOfText(text));
      }
    }
  }
}

int ScoringPlan::DerivedCode(const DerivedInput& derived, const ColumnScoring::Column* input,
                             std::size_t row) {
  // As the transformation dictionary chooses: a missing input (no value,
  // the system-missing value) takes mapMissingTo, else the first bin that
  // contains it, else the default value.
  if (input == nullptr || (input->missing != nullptr && input->missing[row] != 0)) {
    return derived.missingCode;
  }
  const double x = input->numbers[row];
  if (x != x || x == NumericValue::kSystemMissing) return derived.missingCode;
  for (std::size_t bin = 0; bin < derived.bins.size(); ++bin) {
    if (derived.bins[bin].Contains(x)) return derived.binCodes[bin];
  }
  return derived.defaultCode;
}

const BaseCaseRecord::Cell* ScoringPlan::Locate(const Predictor& p, const ScoreCaseRecord* record,
                                                bool indexed, const ScoreCaseRecord* derived,
                                                BaseCaseRecord::Cell& own) {
  if (record != nullptr) {
    const ScoreValue* value = indexed ? record->GetValue(p.position) : record->GetValue(*p.name);
    if (value != nullptr) {
      own = exact_class::CellOf(value);
      return &own;
    }
  }
  if (derived == nullptr) return nullptr;
  // The model's derived values come in the host's own records, whose
  // fields are the transformation dictionary's, in order.
  const BaseCaseRecord* derivedCells =
      p.derivedPosition >= 0 ? exact_class::As<const BaseCaseRecord>(derived) : nullptr;
  if (derivedCells != nullptr) {
    if (p.derivedPosition < derivedCells->GetNumFields()) {
      const BaseCaseRecord::Cell& cell = derivedCells->GetCell(p.derivedPosition);
      return cell.value != nullptr ? &cell : nullptr;
    }
  }
  const ScoreValue* value = derived->GetValue(*p.name);
  if (value == nullptr) return nullptr;
  own = exact_class::CellOf(value);
  return &own;
}

bool ScoringPlan::MissingFor(const Predictor& p, const BaseCaseRecord::Cell& cell) {
  // IsMissingValue, inlined for a BaseDictVar that declares no missing
  // values (then only the system-missing value is missing, and a
  // StringValue never is).
  if (!p.checkMissing) return false;
  if (p.dictVar == nullptr || p.dictVar->HasMissingValues()) return p.var->IsMissingValue(cell.value);
  if (cell.kind == BaseCaseRecord::kNumber) return cell.number == NumericValue::kSystemMissing;
  if (cell.kind == BaseCaseRecord::kOther) return cell.value->IsSystemMissingValue();
  return false;
}

int ScoringPlan::CodeOf(const Predictor& p, const BaseCaseRecord::Cell& cell) {
  if (MissingFor(p, cell)) return -1;
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
    ScoreByFactor(codes, scores, false);
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

void ScoringPlan::ScoreOutsidePlan(const int* codes, double* scores) const {
  ScoreByFactor(codes, scores, true);
}

void ScoringPlan::ScoreByFactor(const int* codes, double* scores, bool lookUpAll) const {
  thread_local std::vector<int> config;  // a parent configuration; keeps its capacity
  const int k = NumCategories();
  for (std::size_t f = 0; f < factors_.size(); ++f) {
    const Factor& factor = factors_[f];
    const bool lookUp = lookUpAll || factor.sparse;
    const double* values = nullptr;
    std::size_t step = 0;
    if (!lookUp) {
      std::size_t offset = factor.offset;
      const Input* input = inputs_.data() + factor.firstInput;
      for (std::size_t i = 0; i < factor.numInputs; ++i) {
        offset += static_cast<std::size_t>(codes[input[i].predictor]) * input[i].stride;
      }
      values = values_.data() + offset;
      step = factor.targetStride;
    }
    for (int c = 0; c < k; ++c) {
      const double value = lookUp ? factor.Value(codes, c, config)
                                  : values[static_cast<std::size_t>(c) * step];
      scores[c] = f == 0 ? value : scores[c] * value;
    }
  }
}

int ScoringPlan::NumDenseFactors() const {
  int dense = 0;
  for (const Factor& factor : factors_) dense += factor.sparse ? 0 : 1;
  return dense;
}

int ScoringPlan::NumSparseFactors() const {
  return static_cast<int>(factors_.size()) - NumDenseFactors();
}

const BaseCaseRecord::Cell* ScoringPlan::CellOf(const Predictor& p, const ScoreCaseRecord* record,
                                                const ScoreCaseRecord* derived,
                                                BaseCaseRecord::Cell& own) const {
  // As Encode reads a record: the host's own records by their cells.
  const bool indexed = record->IsIndexed();
  const BaseCaseRecord* cells = indexed ? exact_class::As<const BaseCaseRecord>(record) : nullptr;
  const BaseCaseRecord::Cell* cell = nullptr;
  if (cells != nullptr && p.position >= 0 && p.position < cells->GetNumFields()) {
    cell = &cells->GetCell(p.position);
  }
  if (cell == nullptr || cell->value == nullptr) {
    cell = Locate(p, cells != nullptr ? nullptr : record, indexed, derived, own);
  }
  return cell;
}

void ScoringPlan::EncodeEvidence(const ScoreCaseRecord* record, const ScoreCaseRecord* derived,
                                 int* codes) const {
  BaseCaseRecord::Cell own;
  for (std::size_t i = 0; i < predictors_.size(); ++i) {
    const Predictor& p = predictors_[i];
    codes[i] = kNoValue;
    if (p.var == nullptr || p.encoder == nullptr) continue;
    const BaseCaseRecord::Cell* cell = CellOf(p, record, derived, own);
    if (cell == nullptr || MissingFor(p, *cell)) continue;
    const int code = CodeOf(p, *cell);
    codes[i] = code < 0 || code >= p.numCodes ? kUnknownValue : code;
  }
}

std::string ScoringPlan::ValueText(const ScoreCaseRecord* record, const ScoreCaseRecord* derived,
                                   int i) const {
  const Predictor& p = predictors_[static_cast<std::size_t>(i)];
  if (p.var == nullptr) return std::string();
  BaseCaseRecord::Cell own;
  const BaseCaseRecord::Cell* cell = CellOf(p, record, derived, own);
  if (cell == nullptr || cell->value == nullptr) return std::string();
  return cell->value->GetString();
}
