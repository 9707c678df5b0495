#include "bayesnet/model/BlanketFactors.h"

#include <algorithm>
#include <cmath>
#include <unordered_map>

#include "host/interfaces/ScoreDictVar.h"
#include "host/interfaces/ScoreDictionary.h"

// Where the codes of the names the tables use come from: resolved through
// this index (the first position of each predictor name, as the model's
// lookups find it), once per name, only while building.
struct BlanketFactors::Sources {
  std::unordered_map<std::string, int> index;
  bool hasTarget = false;
  std::string target;         // empty without a target
  std::vector<int> numCodes;  // per predictor

  // Where the code of the node or parent `name` comes from.
  int Of(const std::string& name) const {
    if (hasTarget && name == target) return kTarget;
    const auto found = index.find(name);
    const int i = found == index.end() ? -1 : found->second;
    return i >= 0 && i < static_cast<int>(numCodes.size()) ? i : kNeither;
  }
};

BlanketFactors::BlanketFactors(const BayesNetModel& model, const PredictorCoder& predictors,
                               std::size_t factorLimit) {
  Sources sources;
  const std::vector<std::string> names = model.GetPredictorVarNames();
  sources.index.reserve(names.size());
  for (std::size_t i = 0; i < names.size(); ++i) {
    sources.index.emplace(names[i], static_cast<int>(i));
  }
  for (int i = 0; i < predictors.NumPredictors(); ++i) {
    sources.numCodes.push_back(predictors.At(i).numCodes);
  }
  if (const ScoreDictVar* target = model.ScoredTarget()) {
    sources.hasTarget = true;
    sources.target = target->GetName();
  }
  numCategories_ = static_cast<int>(model.GetTargetCategories().size());

  // The target's factor, then each child's, in name order.
  std::size_t planBudget = kPlanLimit;
  AddFactor(model, sources, sources.target, factorLimit, planBudget);
  const auto& links = model.GetLinkSource();
  if (auto arcs = links.find(sources.target); arcs != links.end()) {
    for (const auto& [child, orient] : arcs->second) {
      if (orient == BayesNetModel::ArcOut) {
        AddFactor(model, sources, child, factorLimit, planBudget);
      }
    }
  }
  for (const Factor& factor : factors_) targetStrides_.push_back(factor.targetStride);
  TabulatePosteriors(sources.numCodes);
  CopyByCategory(sources.numCodes);
}

void BlanketFactors::CopyByCategory(const std::vector<int>& numCodes) {
  const std::size_t k = static_cast<std::size_t>(numCategories_);
  // With tabulated posteriors a block's rows are looked up, not multiplied.
  if (anySparse_ || k == 0 || factors_.empty() || HasPosteriors()) return;
  std::size_t total = 0;
  for (const Factor& factor : factors_) {
    std::size_t combinations = k;
    for (std::size_t j = 0; j < factor.numInputs; ++j) {
      const int codes = numCodes[inputs_[factor.firstInput + j].predictor];
      if (codes <= 0) return;  // no entry to read
      if (combinations > kBlockLimit / static_cast<std::size_t>(codes)) return;
      combinations *= static_cast<std::size_t>(codes);
    }
    total += combinations;
    if (total > kBlockLimit) return;
  }
  std::vector<BlockFactor> blockFactors;
  std::vector<std::size_t> strides(inputs_.size(), 0);
  std::vector<double> values;
  values.reserve(total);
  std::vector<std::size_t> digits;
  for (const Factor& factor : factors_) {
    BlockFactor block;
    block.offset = values.size();
    block.firstInput = factor.firstInput;
    block.numInputs = factor.numInputs;
    std::size_t stride = k;
    std::size_t combinations = 1;
    for (std::size_t j = factor.numInputs; j-- > 0;) {
      strides[factor.firstInput + j] = stride;
      const auto codes =
          static_cast<std::size_t>(numCodes[inputs_[factor.firstInput + j].predictor]);
      stride *= codes;
      combinations *= codes;
    }
    // Each combination of the inputs' codes, the last input fastest: its
    // entry of the dense table for every category.
    digits.assign(factor.numInputs, 0);
    for (std::size_t e = 0; e < combinations; ++e) {
      std::size_t dense = factor.offset;
      for (std::size_t j = 0; j < factor.numInputs; ++j) {
        dense += digits[j] * inputs_[factor.firstInput + j].stride;
      }
      for (std::size_t c = 0; c < k; ++c)
        values.push_back(values_[dense + c * factor.targetStride]);
      for (std::size_t j = factor.numInputs; j-- > 0;) {
        const auto codes =
            static_cast<std::size_t>(numCodes[inputs_[factor.firstInput + j].predictor]);
        if (++digits[j] < codes) break;
        digits[j] = 0;
      }
    }
    blockFactors.push_back(block);
  }
  blockFactors_ = std::move(blockFactors);
  blockStrides_ = std::move(strides);
  blockValues_ = std::move(values);
}

template <int kCategories, bool kAssign, class Row>
void BlanketFactors::MultiplyRows(Row row, std::size_t count, int k, double* scores) {
  const std::size_t width = kCategories > 0 ? kCategories : static_cast<std::size_t>(k);
  for (std::size_t r = 0; r < count; ++r) {
    const double* values = row(r);
    double* s = scores + r * width;
#pragma GCC unroll 8
    for (std::size_t c = 0; c < width; ++c) s[c] = kAssign ? values[c] : s[c] * values[c];
  }
}

namespace {

// A factor with one input, for a block: the input's codes, and where each
// code's values begin (base + code * categories).
struct SingleInput {
  const int* codes;
  const double* base;

  template <int kCategories>
  const double* ValuesOf(std::size_t r) const {
    return base + static_cast<std::size_t>(codes[r]) * kCategories;
  }
};

// A factor with two inputs, for a block: their codes, and where each pair
// of codes' values begin (base + first * stride + second * categories).
struct PairInput {
  const int* first;
  const int* second;
  std::size_t stride;
  const double* base;

  template <int kCategories>
  const double* ValuesOf(std::size_t r) const {
    return base + static_cast<std::size_t>(first[r]) * stride +
           static_cast<std::size_t>(second[r]) * kCategories;
  }
};

// Multiplies each row's scores by the values of kGroup factors (SingleInput
// or PairInput) in turn: s = ((s * a) * b) ..., each category as in Score.
template <int kCategories, int kGroup, class FactorInput>
void MultiplyGroup(const FactorInput* inputs, std::size_t count, double* scores) {
  FactorInput group[kGroup];  // in registers
  for (int g = 0; g < kGroup; ++g) group[g] = inputs[g];
  for (std::size_t r = 0; r < count; ++r) {
    double s[kCategories];
    double* out = scores + r * kCategories;
#pragma GCC unroll 8
    for (int c = 0; c < kCategories; ++c) s[c] = out[c];
#pragma GCC unroll 4
    for (int g = 0; g < kGroup; ++g) {
      const double* values = group[g].template ValuesOf<kCategories>(r);
#pragma GCC unroll 8
      for (int c = 0; c < kCategories; ++c) s[c] = s[c] * values[c];
    }
#pragma GCC unroll 8
    for (int c = 0; c < kCategories; ++c) out[c] = s[c];
  }
}

// MultiplyGroup for the `size` (1 to 4) factors of `group`.
template <int kCategories, class FactorInput>
void MultiplyRun(const FactorInput* group, int size, std::size_t count, double* scores) {
  switch (size) {
    case 1:
      MultiplyGroup<kCategories, 1>(group, count, scores);
      break;
    case 2:
      MultiplyGroup<kCategories, 2>(group, count, scores);
      break;
    case 3:
      MultiplyGroup<kCategories, 3>(group, count, scores);
      break;
    default:
      MultiplyGroup<kCategories, 4>(group, count, scores);
      break;
  }
}

}  // namespace

template <int kCategories>
void BlanketFactors::ScoreBlockAs(const int* codes, std::size_t stride, std::size_t count,
                                  double* scores) const {
  const int k = numCategories_;
  const double* values = blockValues_.data();
  auto single = [&](const BlockFactor& factor) {
    const Input& input = inputs_[factor.firstInput];
    // A single input's stride is the number of categories.
    return SingleInput{codes + static_cast<std::size_t>(input.predictor) * stride,
                       values + factor.offset};
  };
  const std::size_t numFactors = blockFactors_.size();
  for (std::size_t f = 0; f < numFactors;) {
    const BlockFactor& factor = blockFactors_[f];
    // Runs of single-input factors (a naive structure's children) up to
    // four at a time, each row's scores read and written once per run.
    if constexpr (kCategories > 0) {
      if (f > 0 && factor.numInputs == 1) {
        SingleInput group[4];
        int size = 0;
        while (size < 4 && f < numFactors && blockFactors_[f].numInputs == 1) {
          group[size++] = single(blockFactors_[f++]);
        }
        MultiplyRun<kCategories>(group, size, count, scores);
        continue;
      }
      if (f > 0 && factor.numInputs == 2) {
        PairInput group[4];
        int size = 0;
        while (size < 4 && f < numFactors && blockFactors_[f].numInputs == 2) {
          const BlockFactor& pair = blockFactors_[f++];
          const Input* inputs = inputs_.data() + pair.firstInput;
          // The second input's stride is the number of categories.
          group[size++] = PairInput{codes + static_cast<std::size_t>(inputs[0].predictor) * stride,
                                    codes + static_cast<std::size_t>(inputs[1].predictor) * stride,
                                    blockStrides_[pair.firstInput], values + pair.offset};
        }
        MultiplyRun<kCategories>(group, size, count, scores);
        continue;
      }
    }
    const double* base = values + factor.offset;
    const Input* inputs = inputs_.data() + factor.firstInput;
    const std::size_t* strides = blockStrides_.data() + factor.firstInput;
    // The first factor's values start each product; the others multiply it.
    auto multiply = [&](auto row) {
      if (f == 0) {
        MultiplyRows<kCategories, true>(row, count, k, scores);
      } else {
        MultiplyRows<kCategories, false>(row, count, k, scores);
      }
    };
    auto column = [&](std::size_t j) {
      return codes + static_cast<std::size_t>(inputs[j].predictor) * stride;
    };
    if (factor.numInputs == 0) {
      multiply([base](std::size_t) { return base; });
    } else if (factor.numInputs == 1) {
      const int* x0 = column(0);
      const std::size_t s0 = strides[0];
      multiply([=](std::size_t r) { return base + static_cast<std::size_t>(x0[r]) * s0; });
    } else if (factor.numInputs == 2) {
      const int* x0 = column(0);
      const int* x1 = column(1);
      const std::size_t s0 = strides[0];
      const std::size_t s1 = strides[1];
      multiply([=](std::size_t r) {
        return base + static_cast<std::size_t>(x0[r]) * s0 + static_cast<std::size_t>(x1[r]) * s1;
      });
    } else {
      const std::size_t numInputs = factor.numInputs;
      multiply([&, base](std::size_t r) {
        std::size_t offset = 0;
        for (std::size_t j = 0; j < numInputs; ++j) {
          offset += static_cast<std::size_t>(column(j)[r]) * strides[j];
        }
        return base + offset;
      });
    }
    ++f;
  }
}

void BlanketFactors::ScoreBlock(const int* codes, std::size_t stride, std::size_t count,
                                double* scores) const {
  switch (numCategories_) {
    case 1:
      ScoreBlockAs<1>(codes, stride, count, scores);
      break;
    case 2:
      ScoreBlockAs<2>(codes, stride, count, scores);
      break;
    case 3:
      ScoreBlockAs<3>(codes, stride, count, scores);
      break;
    case 4:
      ScoreBlockAs<4>(codes, stride, count, scores);
      break;
    case 5:
      ScoreBlockAs<5>(codes, stride, count, scores);
      break;
    case 6:
      ScoreBlockAs<6>(codes, stride, count, scores);
      break;
    case 7:
      ScoreBlockAs<7>(codes, stride, count, scores);
      break;
    case 8:
      ScoreBlockAs<8>(codes, stride, count, scores);
      break;
    default:
      ScoreBlockAs<0>(codes, stride, count, scores);
      break;
  }
}

void BlanketFactors::TabulatePosteriors(const std::vector<int>& numCodes) {
  const std::size_t k = static_cast<std::size_t>(numCategories_);
  if (anySparse_ || k == 0) return;
  // The predictors the factors read, each once, and how many combinations
  // of their codes there are.
  std::vector<int> used;
  std::vector<char> seen(numCodes.size(), 0);
  for (const Input& input : inputs_) {
    char& once = seen[static_cast<std::size_t>(input.predictor)];
    if (!once) used.push_back(input.predictor);
    once = 1;
  }
  std::size_t combinations = 1;
  for (int p : used) {
    const std::size_t codes = static_cast<std::size_t>(std::max(numCodes[p], 0));
    if (codes == 0 || combinations > kPosteriorLimit / k / codes) return;
    combinations *= codes;
  }
  std::vector<Input> inputs(used.size());
  std::size_t stride = 1;
  for (std::size_t j = used.size(); j-- > 0;) {
    inputs[j] = Input{used[j], stride};
    stride *= static_cast<std::size_t>(numCodes[used[j]]);
  }

  // Each combination scored and normalised by the very functions a record
  // goes through, so the table holds their results bit for bit.
  posteriors_.resize(combinations * k);
  std::vector<int> best(combinations);
  std::vector<int> codes(numCodes.size(), 0);
  std::vector<std::size_t> offsets(factors_.size());
  for (std::size_t e = 0; e < combinations; ++e) {
    std::size_t rest = e;
    for (std::size_t j = used.size(); j-- > 0;) {
      const std::size_t n = static_cast<std::size_t>(numCodes[used[j]]);
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

void BlanketFactors::AddFactor(const BayesNetModel& model, const Sources& from,
                               const std::string& node, std::size_t factorLimit,
                               std::size_t& planBudget) {
  // The sources of the table's dimensions: the parents in column order,
  // then the node itself.
  std::vector<int> sources;
  const auto& parentsTable = model.GetParentsTable();
  auto parents = parentsTable.find(node);
  if (parents != parentsTable.end()) {
    for (const std::string& parent : parents->second) sources.push_back(from.Of(parent));
  }
  sources.push_back(from.Of(node));

  // A source that is neither target nor predictor has one (unused) slot:
  // the factor is 0.0 everywhere then.
  std::vector<std::size_t> dims;
  for (int source : sources) {
    if (source == kTarget) {
      dims.push_back(static_cast<std::size_t>(numCategories_));
    } else if (source == kNeither) {
      dims.push_back(1);
    } else {
      dims.push_back(static_cast<std::size_t>(std::max(from.numCodes[source], 0)));
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

double BlanketFactors::FallbackScore(const BayesNetModel& model, const std::string& node) {
  if (model.GetParamLearnMethod() != BayesNetModel::AdjustedBayes) return 0.0;
  int m = 0;
  if (const IVkEncoder* encoder = model.GetEncoder(node)) {
    m = encoder->GetNumCategories();
  } else if (const ScoreDictionary* dictionary = model.GetDictionary()) {
    if (const ScoreDictVar* var = dictionary->GetVariable(node)) m = var->GetNumCategories();
  }
  return m > 0 ? 1.0 / m : 1.0;
}

const std::vector<double>* BlanketFactors::Factor::Row(const std::vector<int>& config) const {
  if (parents.empty()) return table.empty() ? nullptr : &table.begin()->second;
  const auto row = table.find(config);
  return row == table.end() ? nullptr : &row->second;
}

double BlanketFactors::Factor::Value(const int* codes, int c, std::vector<int>& config) const {
  if (zero) return 0.0;
  auto code = [&](int source) { return source == kTarget ? c : codes[source]; };
  config.resize(parents.size());
  for (std::size_t j = 0; j < parents.size(); ++j) config[j] = code(parents[j]);
  return Entry(Row(config), code(node));
}

void BlanketFactors::Factor::FillDense(const std::vector<std::size_t>& dims,
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

template <int kBlock>
void BlanketFactors::MultiplyBlock(int first, const std::size_t* offsets, double* scores) const {
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

void BlanketFactors::Score(const int* codes, double* scores, std::size_t* offsets) const {
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
  const int k = numCategories_;
  int c = 0;
  for (; c + 4 <= k; c += 4) MultiplyBlock<4>(c, offsets, scores);
  switch (k - c) {
    case 3:
      MultiplyBlock<3>(c, offsets, scores);
      break;
    case 2:
      MultiplyBlock<2>(c, offsets, scores);
      break;
    case 1:
      MultiplyBlock<1>(c, offsets, scores);
      break;
    default:
      break;
  }
}

void BlanketFactors::ScoreOutsidePlan(const int* codes, double* scores) const {
  ScoreByFactor(codes, scores, true);
}

void BlanketFactors::ScoreByFactor(const int* codes, double* scores, bool lookUpAll) const {
  thread_local std::vector<int> config;  // a parent configuration; keeps its capacity
  const int k = numCategories_;
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
      const double value =
          lookUp ? factor.Value(codes, c, config) : values[static_cast<std::size_t>(c) * step];
      scores[c] = f == 0 ? value : scores[c] * value;
    }
  }
}

int BlanketFactors::NumDenseFactors() const {
  int dense = 0;
  for (const Factor& factor : factors_) dense += factor.sparse ? 0 : 1;
  return dense;
}

int BlanketFactors::NumSparseFactors() const {
  return static_cast<int>(factors_.size()) - NumDenseFactors();
}
