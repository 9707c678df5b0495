#include "bayesnet/model/InferenceNetwork.h"

#include <algorithm>
#include <mutex>
#include <set>
#include <string_view>
#include <unordered_map>
#include <utility>

#include "bayesnet/encoders/VkBinningEncoder.h"
#include "bayesnet/model/ScoringPlan.h"
#include "host/text/NumberText.h"
#include "host/interfaces/ScoreDictVar.h"
#include "host/interfaces/ScoreDictionary.h"

namespace bnscore::internal {

// The compiled elimination for one query node and one pattern of observed
// nodes. Factors are numbered: first the relevant nodes' tables (reduced
// by the evidence), then one per elimination step, in step order.
struct EliminationPlan {
  bool tooLarge = false;

  // A node's table as a factor: the observed members of its family fix an
  // offset into the dense table (code times stride, summed).
  struct TableFactor {
    int node = -1;
    std::vector<std::pair<int, std::size_t>> fixed;  // (node, stride)
  };
  std::vector<TableFactor> tables;

  // One elimination step: the product of the inputs, summed over the last
  // loop variable. The loop runs over the output's variables (the last
  // fastest) and then the summed one; strides[i * loops + j] is input i's
  // stride for loop variable j (0 when the input does not hold it).
  //
  // What Run needs of it is precomputed: each input's stride of the summed
  // variable (summedStrides[i]), and for the output's variables the step
  // of every input's offset when variable j advances and the faster ones
  // wrap to 0 (carries[j * inputs + i]).
  struct Step {
    std::vector<int> inputs;
    std::vector<int> cards;
    std::vector<std::size_t> strides;
    std::vector<std::size_t> summedStrides;
    std::vector<std::size_t> carries;
    std::size_t outOffset = 0;
    std::size_t outSize = 0;
  };
  std::vector<Step> steps;
  std::size_t scratchSize = 0;

  // The factors left at the end: over the query node alone (its stride),
  // or over nothing (a constant, which only has to be positive).
  struct Final {
    int factor = -1;
    std::size_t stride = 0;
    bool constant = false;
    std::vector<int> predictors;  // whose tables it holds (see Group)
  };
  std::vector<Final> finals;
};

// Per thread: the evidence of the record in hand (each node's code and
// part), the dense values of the elimination steps and the running
// offsets. They keep their capacity, so a thread allocates nothing once
// they have grown.
struct EliminationScratch {
  std::vector<int> nodeCodes;  // per node: its usable code, or -1
  std::vector<char> state;     // per node: its part (InferenceNetwork's kBarren ...)
  std::vector<int> observed;   // the observed nodes, in node order: numObserved of them
  std::vector<int> hidden;     // the hidden nodes, as found: numHidden of them
  std::size_t numObserved = 0;
  std::size_t numHidden = 0;
  std::vector<double> values;
  std::vector<std::size_t> bases;
  std::vector<std::size_t> offsets;
  std::vector<int> positions;
  std::vector<const double*> data;
  std::vector<const double*> inputs;  // of one step
  std::vector<double> products;       // of one step
  std::vector<std::uint64_t> key;
  std::vector<double> direct;
  std::unique_ptr<EliminationPlan> uncached;  // a plan past kMaxPlans
};

namespace {

using Scratch = EliminationScratch;

Scratch& ThreadScratch() {
  thread_local Scratch scratch;
  return scratch;
}

// The sum over the summed variable of the product of a step's inputs, for
// the output entry the inputs' offsets point at. The product is taken input
// by input in input order and the sum in the summed variable's order, for
// any number of inputs (kInputs 1 to 4 spell the product out; 0 takes
// `products` for five or more), so each entry is the same to the bit however
// it is computed.
template <int kInputs>
double SumOfProducts(const double* const* inputs, const std::size_t* offsets,
                     const std::size_t* strides, std::size_t numInputs, std::size_t summed,
                     double* products) {
  const double* a = inputs[0] + offsets[0];
  const std::size_t sa = strides[0];
  double sum = 0.0;
  std::size_t x = 0;
  if constexpr (kInputs == 1) {
    for (; x < summed; ++x) sum += a[x * sa];
  } else if constexpr (kInputs == 2) {
    // Four at a time, added one by one in order.
    const double* b = inputs[1] + offsets[1];
    const std::size_t sb = strides[1];
    for (; x + 4 <= summed; x += 4) {
      const double p0 = a[0] * b[0];
      const double p1 = a[sa] * b[sb];
      const double p2 = a[2 * sa] * b[2 * sb];
      const double p3 = a[3 * sa] * b[3 * sb];
      sum += p0;
      sum += p1;
      sum += p2;
      sum += p3;
      a += 4 * sa;
      b += 4 * sb;
    }
    for (; x < summed; ++x, a += sa, b += sb) sum += a[0] * b[0];
  } else if constexpr (kInputs == 3) {
    const double* b = inputs[1] + offsets[1];
    const double* c = inputs[2] + offsets[2];
    const std::size_t sb = strides[1];
    const std::size_t sc = strides[2];
    for (; x + 4 <= summed; x += 4) {
      const double p0 = a[0] * b[0] * c[0];
      const double p1 = a[sa] * b[sb] * c[sc];
      const double p2 = a[2 * sa] * b[2 * sb] * c[2 * sc];
      const double p3 = a[3 * sa] * b[3 * sb] * c[3 * sc];
      sum += p0;
      sum += p1;
      sum += p2;
      sum += p3;
      a += 4 * sa;
      b += 4 * sb;
      c += 4 * sc;
    }
    for (; x < summed; ++x, a += sa, b += sb, c += sc) sum += a[0] * b[0] * c[0];
  } else {
    // The first four inputs' products, then each further input's.
    const double* b = inputs[1] + offsets[1];
    const double* c = inputs[2] + offsets[2];
    const double* d = inputs[3] + offsets[3];
    const std::size_t sb = strides[1];
    const std::size_t sc = strides[2];
    const std::size_t sd = strides[3];
    if constexpr (kInputs == 4) {
      for (; x + 4 <= summed; x += 4) {
        const double p0 = a[0] * b[0] * c[0] * d[0];
        const double p1 = a[sa] * b[sb] * c[sc] * d[sd];
        const double p2 = a[2 * sa] * b[2 * sb] * c[2 * sc] * d[2 * sd];
        const double p3 = a[3 * sa] * b[3 * sb] * c[3 * sc] * d[3 * sd];
        sum += p0;
        sum += p1;
        sum += p2;
        sum += p3;
        a += 4 * sa;
        b += 4 * sb;
        c += 4 * sc;
        d += 4 * sd;
      }
      for (; x < summed; ++x, a += sa, b += sb, c += sc, d += sd) sum += a[0] * b[0] * c[0] * d[0];
      return sum;
    }
    for (; x < summed; ++x, a += sa, b += sb, c += sc, d += sd) {
      products[x] = a[0] * b[0] * c[0] * d[0];
    }
    for (std::size_t i = 4; i < numInputs; ++i) {
      const double* data = inputs[i] + offsets[i];
      const std::size_t stride = strides[i];
      for (x = 0; x < summed; ++x) products[x] *= data[x * stride];
    }
    for (x = 0; x < summed; ++x) sum += products[x];
  }
  return sum;
}

// One elimination step into `out`, from the inputs and offsets set in the
// scratch (the offsets move); returns the largest entry.
template <int kInputs>
double RunStep(const EliminationPlan::Step& step, Scratch& scratch, double* out) {
  const std::size_t numInputs = step.inputs.size();
  const std::size_t outer = step.cards.size() - 1;  // the output's variables
  const std::size_t summed = static_cast<std::size_t>(step.cards[outer]);
  const double* const* inputs = scratch.inputs.data();
  std::size_t* offsets = scratch.offsets.data();
  int* positions = scratch.positions.data();
  const std::size_t* strides = step.summedStrides.data();
  double* products = scratch.products.data();
  double largest = 0.0;
  for (std::size_t o = 0; o < step.outSize; ++o) {
    const double sum =
        SumOfProducts<kInputs>(inputs, offsets, strides, numInputs, summed, products);
    out[o] = sum;
    if (sum > largest) largest = sum;
    // The next combination of the output's variables, the last fastest.
    for (std::size_t j = outer; j-- > 0;) {
      if (++positions[j] < step.cards[j]) {
        const std::size_t* carry = step.carries.data() + j * numInputs;
        for (std::size_t i = 0; i < numInputs; ++i) offsets[i] += carry[i];
        break;
      }
      positions[j] = 0;
    }
  }
  return largest;
}

// A factor while the plan is compiled: its variables with their strides,
// and the predictors it is credited to.
struct LiveFactor {
  int id = -1;
  std::vector<std::pair<int, std::size_t>> vars;  // (node, stride), by node
  std::vector<int> predictors;                    // sorted
};

std::size_t StrideIn(const LiveFactor& factor, int node) {
  for (const auto& [var, stride] : factor.vars) {
    if (var == node) return stride;
  }
  return 0;
}

bool Holds(const LiveFactor& factor, int node) {
  for (const auto& var : factor.vars) {
    if (var.first == node) return true;
  }
  return false;
}

// The interval of bin `code` over strictly ascending cut points, as the
// binning encoder assigns them (a bin holds the values above the cut point
// before it up to its own): "(-inf,10]", "(10,20]", "(20,inf)"; "" when the
// cut points do not ascend strictly.
std::string BinText(const std::vector<double>& cuts, int code) {
  for (std::size_t i = 1; i < cuts.size(); ++i) {
    if (!(cuts[i - 1] < cuts[i])) return std::string();
  }
  const std::size_t k = static_cast<std::size_t>(code);
  if (k > cuts.size()) return std::string();
  NumberTextBuffer buffer;
  std::string text = "(";
  text += k == 0 ? std::string("-inf") : std::string(FormatNumberView(cuts[k - 1], buffer));
  text += ',';
  text +=
      k == cuts.size() ? std::string("inf)") : std::string(FormatNumberView(cuts[k], buffer)) + "]";
  return text;
}

}  // namespace

InferenceNetwork::InferenceNetwork(const BayesNetModel& model) {
  const ScoreDictVar* targetVar = model.ScoredTarget();
  const std::vector<std::string> predictorNames = model.GetPredictorVarNames();
  // Each predictor name's first position.
  std::unordered_map<std::string_view, int> predictorIndex;
  for (std::size_t p = 0; p < predictorNames.size(); ++p) {
    predictorIndex.emplace(predictorNames[p], static_cast<int>(p));
  }
  // Every name the network mentions.
  std::set<std::string> names;
  for (const auto& entry : model.GetCPT()) names.insert(entry.first);
  for (const auto& [node, parents] : model.GetParentsTable()) {
    names.insert(node);
    names.insert(parents.begin(), parents.end());
  }
  for (const auto& [node, arcs] : model.GetLinkSource()) {
    names.insert(node);
    for (const auto& arc : arcs) names.insert(arc.first);
  }
  // The target first, then the predictors in predictor order, then the rest
  // by name.
  std::vector<std::string> order;
  if (targetVar != nullptr) {
    order.push_back(targetVar->GetName());
    names.erase(targetVar->GetName());
  }
  for (const std::string& name : predictorNames) {
    if (names.erase(name) != 0) order.push_back(name);
  }
  order.insert(order.end(), names.begin(), names.end());

  nodes_.resize(order.size());
  for (std::size_t n = 0; n < order.size(); ++n) index_.emplace(order[n], static_cast<int>(n));
  const ScoreDictionary* dictionary = model.GetDictionary();
  for (std::size_t n = 0; n < order.size(); ++n) {
    Node& node = nodes_[n];
    node.name = order[n];
    auto cpt = model.GetCPT().find(node.name);
    static const BayesNetModel::CPTable kNoTable;
    const BayesNetModel::CPTable& table = cpt == model.GetCPT().end() ? kNoTable : cpt->second;
    if (n == 0 && targetVar != nullptr) {
      target_ = 0;
      for (const ScoreValue* value : model.GetTargetCategories()) {
        node.texts.push_back(value != nullptr ? value->GetString() : std::string());
      }
      node.categories = static_cast<int>(node.texts.size());
    } else {
      auto found = predictorIndex.find(node.name);
      if (found != predictorIndex.end()) node.predictor = found->second;
      const IVkEncoder* encoder = model.GetEncoder(node.name);
      const ScoreDictVar* var =
          dictionary != nullptr ? dictionary->GetVariable(node.name) : nullptr;
      if (encoder != nullptr) {
        node.categories = encoder->GetNumCategories();
      } else if (var != nullptr && var->GetNumCategories() > 0) {
        node.categories = var->GetNumCategories();
      } else {
        for (const auto& row : table) {
          node.categories = std::max(node.categories, static_cast<int>(row.second.size()) - 1);
        }
      }
      const auto* binning = dynamic_cast<const VkBinningEncoder*>(encoder);
      for (int code = 0; code < node.categories; ++code) {
        std::string text = encoder != nullptr ? encoder->GetCategoryString(code) : std::string();
        if (text.empty() && binning != nullptr) text = BinText(binning->GetCutPoints(), code);
        node.texts.push_back(text.empty() ? std::to_string(code) : text);
      }
    }
  }

  // Parents and dense tables: entry sum(code_j * stride_j) + x.
  for (Node& node : nodes_) {
    auto parents = model.GetParentsTable().find(node.name);
    if (parents != model.GetParentsTable().end()) {
      for (const std::string& parent : parents->second) node.parents.push_back(index_[parent]);
    }
    const std::size_t card = static_cast<std::size_t>(std::max(node.categories, 0));
    std::size_t total = card;
    node.strides.assign(node.parents.size(), 0);
    for (std::size_t j = node.parents.size(); j-- > 0;) {
      node.strides[j] = total;
      total *= static_cast<std::size_t>(std::max(nodes_[node.parents[j]].categories, 0));
      if (total > kFactorLimit) break;
    }
    if (total > kFactorLimit) {
      tooLarge_ = true;
      continue;
    }
    auto cpt = model.GetCPT().find(node.name);
    node.table.assign(total, ScoringPlan::FallbackScore(model, node.name));
    if (cpt == model.GetCPT().end() || cpt->second.empty()) continue;
    auto fillRow = [&node, card](std::size_t base, const std::vector<double>& row) {
      for (std::size_t x = 0; x < card; ++x) node.table[base + x] = x < row.size() ? row[x] : 0.0;
    };
    if (node.parents.empty()) {
      fillRow(0, cpt->second.begin()->second);  // the first row, whatever its configuration
      continue;
    }
    for (const auto& [config, row] : cpt->second) {
      if (config.size() != node.parents.size()) continue;
      std::size_t base = 0;
      bool inRange = true;
      for (std::size_t j = 0; j < config.size() && inRange; ++j) {
        inRange = config[j] >= 0 && config[j] < nodes_[node.parents[j]].categories;
        base += static_cast<std::size_t>(std::max(config[j], 0)) * node.strides[j];
      }
      if (inRange) fillRow(base, row);
    }
  }

  // The same, laid out for the per-record passes.
  const std::size_t numNodes = nodes_.size();
  std::vector<std::vector<int>> children(numNodes);
  parentStart_.push_back(0);
  for (std::size_t n = 0; n < numNodes; ++n) {
    const Node& node = nodes_[n];
    nodePredictors_.push_back(node.predictor);
    nodeCategories_.push_back(node.categories);
    tables_.push_back(node.table.data());
    for (std::size_t j = 0; j < node.parents.size(); ++j) {
      parentList_.push_back(node.parents[j]);
      parentStrides_.push_back(node.strides[j]);
      // A parent listed twice makes the node its child once.
      const auto earlier = node.parents.begin() + static_cast<std::ptrdiff_t>(j);
      if (std::find(node.parents.begin(), earlier, node.parents[j]) == earlier) {
        children[static_cast<std::size_t>(node.parents[j])].push_back(static_cast<int>(n));
      }
    }
    parentStart_.push_back(static_cast<int>(parentList_.size()));
  }
  childStart_.push_back(0);
  for (const std::vector<int>& of : children) {
    childList_.insert(childList_.end(), of.begin(), of.end());
    childStart_.push_back(static_cast<int>(childList_.size()));
  }
}

InferenceNetwork::~InferenceNetwork() = default;

bool InferenceNetwork::Outside(int query, const EliminationScratch& scratch, double* joint,
                               std::vector<Group>* groups) const {
  const int* nodeCodes = scratch.nodeCodes.data();
  const char* state = scratch.state.data();
  const int* parentList = parentList_.data();
  const std::size_t* parentStrides = parentStrides_.data();
  const Node& q = nodes_[query];
  const int k = q.categories;
  // The query's own table, unless a parent of it is hidden.
  std::size_t base = 0;
  bool own = true;
  for (int j = parentStart_[query]; j < parentStart_[query + 1] && own; ++j) {
    own = state[parentList[j]] == kObserved;
    if (own) base += static_cast<std::size_t>(nodeCodes[parentList[j]]) * parentStrides[j];
  }
  if (own) {
    for (int x = 0; x < k; ++x) joint[x] = q.table[base + static_cast<std::size_t>(x)];
    if (groups != nullptr) {
      Group group;
      group.values.assign(joint, joint + k);
      for (int parent : q.parents) group.predictors.push_back(nodes_[parent].predictor);
      std::sort(group.predictors.begin(), group.predictors.end());
      group.predictors.erase(std::unique(group.predictors.begin(), group.predictors.end()),
                             group.predictors.end());
      groups->push_back(std::move(group));
    }
  } else {
    std::fill(joint, joint + k, 1.0);
  }
  // The observed nodes without a hidden parent.
  for (std::size_t i = 0; i < scratch.numObserved; ++i) {
    const int n = scratch.observed[i];
    std::size_t offset = static_cast<std::size_t>(nodeCodes[n]);
    std::size_t queryStride = 0;
    bool hiddenParent = false;
    for (int j = parentStart_[n]; j < parentStart_[n + 1]; ++j) {
      const int parent = parentList[j];
      const char parentState = state[parent];
      if (parentState == kQuery) {
        queryStride += parentStrides[j];
      } else if (parentState == kHidden) {
        hiddenParent = true;
        break;
      } else {
        offset += static_cast<std::size_t>(nodeCodes[parent]) * parentStrides[j];
      }
    }
    if (hiddenParent) continue;  // the plan's
    const double* table = tables_[static_cast<std::size_t>(n)] + offset;
    if (queryStride == 0) {
      // A constant: only its sign matters, and not for the groups, which
      // are read only for records already scored.
      if (groups == nullptr && !(table[0] > 0.0)) return false;
      continue;
    }
    if (groups != nullptr) {
      Group group;
      for (int x = 0; x < k; ++x) {
        group.values.push_back(table[static_cast<std::size_t>(x) * queryStride]);
      }
      group.predictors.push_back(nodes_[n].predictor);
      groups->push_back(std::move(group));
    }
    for (int x = 0; x < k; ++x) joint[x] *= table[static_cast<std::size_t>(x) * queryStride];
  }
  return true;
}

int InferenceNetwork::FindNode(const std::string& name) const {
  auto found = index_.find(name);
  return found == index_.end() ? -1 : found->second;
}

std::size_t InferenceNetwork::KeyHash::operator()(const std::vector<std::uint64_t>& key) const {
  std::uint64_t hash = 1469598103934665603ull;
  for (std::uint64_t word : key) {
    hash ^= word;
    hash *= 1099511628211ull;
    hash ^= hash >> 29;
  }
  return static_cast<std::size_t>(hash);
}

const EliminationPlan* InferenceNetwork::PlanFor(int query, const int* codes,
                                                 EliminationScratch& scratch) const {
  const std::size_t numNodes = nodes_.size();
  // Each node's code; the observed nodes and the query; then their
  // unobserved ancestors, hidden, found from the query and the observed
  // nodes up (scratch.hidden is the work list). The arrays hold every node
  // and keep their length from record to record.
  scratch.nodeCodes.resize(numNodes);
  scratch.state.resize(numNodes);
  scratch.observed.resize(numNodes);
  scratch.hidden.resize(numNodes);
  int* nodeCodes = scratch.nodeCodes.data();
  char* state = scratch.state.data();
  int* observed = scratch.observed.data();
  int* hidden = scratch.hidden.data();
  const int* predictors = nodePredictors_.data();
  const int* categories = nodeCategories_.data();
  std::size_t numObserved = 0;
  for (std::size_t n = 0; n < numNodes; ++n) {
    const int predictor = predictors[n];
    int code = -1;
    if (predictor >= 0) {
      code = codes[predictor];
      if (code < 0 || code >= categories[n]) code = -1;
    }
    nodeCodes[n] = code;
    if (code >= 0 && static_cast<int>(n) != query) {
      state[n] = kObserved;
      observed[numObserved++] = static_cast<int>(n);
    } else {
      state[n] = kBarren;
    }
  }
  scratch.numObserved = numObserved;
  state[query] = kQuery;
  const int* parentStart = parentStart_.data();
  const int* parentList = parentList_.data();
  std::size_t numHidden = 0;
  auto markParents = [&](int n) {
    for (int j = parentStart[n]; j < parentStart[n + 1]; ++j) {
      const int parent = parentList[j];
      if (state[parent] != kBarren) continue;
      state[parent] = kHidden;
      hidden[numHidden++] = parent;
    }
  };
  markParents(query);
  for (std::size_t i = 0; i < numObserved; ++i) markParents(observed[i]);
  for (std::size_t h = 0; h < numHidden; ++h) markParents(hidden[h]);
  scratch.numHidden = numHidden;
  if (numHidden == 0) return nullptr;

  // The plan depends on the query, the hidden nodes and which of their
  // children are observed (the other nodes' tables are Outside's).
  const std::size_t words = (numNodes + 63) / 64;
  std::vector<std::uint64_t>& key = scratch.key;
  key.assign(1 + 2 * words, 0);
  key[0] = static_cast<std::uint64_t>(query);
  for (std::size_t i = 0; i < numHidden; ++i) {
    const int h = hidden[i];
    key[1 + static_cast<std::size_t>(h) / 64] |= std::uint64_t{1} << (h % 64);
    for (int j = childStart_[h]; j < childStart_[h + 1]; ++j) {
      const int child = childList_[j];
      if (state[child] == kObserved || state[child] == kQuery) {
        key[1 + words + static_cast<std::size_t>(child) / 64] |= std::uint64_t{1} << (child % 64);
      }
    }
  }
  {
    std::shared_lock<std::shared_mutex> lock(plansMutex_);
    auto found = plans_.find(key);
    if (found != plans_.end()) return found->second.get();
  }
  std::unique_ptr<EliminationPlan> plan = Compile(query, scratch.state);
  std::unique_lock<std::shared_mutex> lock(plansMutex_);
  if (plans_.size() >= kMaxPlans) {
    scratch.uncached = std::move(plan);  // kept until this thread's next plan
    return scratch.uncached.get();
  }
  auto inserted = plans_.emplace(key, std::move(plan));
  return inserted.first->second.get();
}

std::unique_ptr<EliminationPlan> InferenceNetwork::Compile(int query,
                                                           const std::vector<char>& state) const {
  auto plan = std::make_unique<EliminationPlan>();
  if (tooLarge_) {
    plan->tooLarge = true;
    return plan;
  }
  const int numNodes = NumNodes();
  // The tables of the hidden nodes and of the nodes with a hidden parent.
  std::vector<char> relevant(numNodes, 0);
  std::vector<char> observed(numNodes, 0);
  for (int n = 0; n < numNodes; ++n) {
    const char s = state[static_cast<std::size_t>(n)];
    observed[n] = static_cast<char>(s == kObserved);
    if (s == kHidden) {
      relevant[n] = 1;
    } else if (s == kObserved || s == kQuery) {
      for (int parent : nodes_[n].parents) {
        if (state[static_cast<std::size_t>(parent)] == kHidden) relevant[n] = 1;
      }
    }
  }

  // The tables, reduced by the evidence.
  std::vector<LiveFactor> live;
  for (int n = 0; n < numNodes; ++n) {
    if (relevant[n] == 0) continue;
    const Node& node = nodes_[n];
    EliminationPlan::TableFactor table;
    table.node = n;
    // By node; a parent named twice adds up.
    std::vector<std::pair<int, std::size_t>> strides;
    strides.reserve(node.parents.size() + 1);
    strides.emplace_back(n, 1);
    for (std::size_t j = 0; j < node.parents.size(); ++j) {
      strides.emplace_back(node.parents[j], node.strides[j]);
    }
    std::sort(strides.begin(), strides.end());
    std::size_t kept = 0;
    for (std::size_t i = 0; i < strides.size(); ++i) {
      if (kept > 0 && strides[kept - 1].first == strides[i].first) {
        strides[kept - 1].second += strides[i].second;
      } else {
        strides[kept++] = strides[i];
      }
    }
    strides.resize(kept);
    LiveFactor factor;
    factor.id = static_cast<int>(plan->tables.size());
    table.fixed.reserve(strides.size());
    factor.vars.reserve(strides.size());
    for (const auto& [var, stride] : strides) {
      if (observed[var] != 0) {
        table.fixed.emplace_back(var, stride);
      } else {
        factor.vars.emplace_back(var, stride);
      }
    }
    if (n == query) {
      for (int parent : node.parents) {
        if (observed[parent] != 0) factor.predictors.push_back(nodes_[parent].predictor);
      }
    } else if (observed[n] != 0) {
      factor.predictors.push_back(node.predictor);
    }
    std::sort(factor.predictors.begin(), factor.predictors.end());
    factor.predictors.erase(std::unique(factor.predictors.begin(), factor.predictors.end()),
                            factor.predictors.end());
    plan->tables.push_back(std::move(table));
    live.push_back(std::move(factor));
  }

  // The elimination order: greedily the hidden node whose elimination adds
  // the fewest edges between its neighbours (then the fewest neighbours;
  // then the first by node). The graph is held as a bit matrix over the
  // nodes the factors hold, numbered in node order.
  std::vector<int> local(static_cast<std::size_t>(numNodes), -1);
  std::vector<int> global;
  for (const LiveFactor& factor : live) {
    for (const auto& var : factor.vars) local[static_cast<std::size_t>(var.first)] = 0;
  }
  for (int n = 0; n < numNodes; ++n) {
    if (local[static_cast<std::size_t>(n)] < 0) continue;
    local[static_cast<std::size_t>(n)] = static_cast<int>(global.size());
    global.push_back(n);
  }
  const std::size_t m = global.size();
  const std::size_t words = (m + 63) / 64;
  std::vector<std::uint64_t> adjacent(m * words, 0);
  auto linked = [&](std::size_t a, std::size_t b) {
    return (adjacent[a * words + b / 64] >> (b % 64) & 1) != 0;
  };
  auto link = [&](std::size_t a, std::size_t b) {
    adjacent[a * words + b / 64] |= std::uint64_t{1} << (b % 64);
  };
  auto unlink = [&](std::size_t a, std::size_t b) {
    adjacent[a * words + b / 64] &= ~(std::uint64_t{1} << (b % 64));
  };
  // The neighbours of a, in order, into `out`.
  auto neighboursOf = [&](std::size_t a, std::vector<std::size_t>& out) {
    out.clear();
    for (std::size_t w = 0; w < words; ++w) {
      for (std::uint64_t bits = adjacent[a * words + w]; bits != 0; bits &= bits - 1) {
        out.push_back(w * 64 + static_cast<std::size_t>(__builtin_ctzll(bits)));
      }
    }
  };
  for (const LiveFactor& factor : live) {
    for (const auto& a : factor.vars) {
      for (const auto& b : factor.vars) {
        if (a.first != b.first) {
          link(static_cast<std::size_t>(local[static_cast<std::size_t>(a.first)]),
               static_cast<std::size_t>(local[static_cast<std::size_t>(b.first)]));
        }
      }
    }
  }
  std::vector<char> hidden(m, 0);
  std::size_t numHidden = 0;
  for (std::size_t v = 0; v < m; ++v) {
    if (state[static_cast<std::size_t>(global[v])] == kHidden) {
      hidden[v] = 1;
      ++numHidden;
    }
  }
  std::vector<int> order;
  std::vector<std::pair<long, long>> cost(m);
  std::vector<char> dirty(m, 1);
  std::vector<std::size_t> neighbours;
  std::vector<std::size_t> around;
  for (; numHidden > 0; --numHidden) {
    std::size_t best = m;
    for (std::size_t v = 0; v < m; ++v) {
      if (hidden[v] == 0) continue;
      if (dirty[v] != 0) {
        neighboursOf(v, neighbours);
        long fill = 0;
        for (std::size_t i = 0; i < neighbours.size(); ++i) {
          for (std::size_t j = i + 1; j < neighbours.size(); ++j) {
            if (!linked(neighbours[i], neighbours[j])) ++fill;
          }
        }
        cost[v] = {fill, static_cast<long>(neighbours.size())};
        dirty[v] = 0;
      }
      if (best == m || cost[v] < cost[best]) best = v;
    }
    order.push_back(global[best]);
    hidden[best] = 0;
    neighboursOf(best, neighbours);
    for (std::size_t a : neighbours) {
      unlink(a, best);
      dirty[a] = 1;
      for (std::size_t b : neighbours) {
        if (a != b) link(a, b);
      }
      neighboursOf(a, around);
      for (std::size_t c : around) dirty[c] = 1;
    }
    for (std::size_t w = 0; w < words; ++w) adjacent[best * words + w] = 0;
  }

  // The steps.
  const int numTables = static_cast<int>(plan->tables.size());
  for (int v : order) {
    std::vector<LiveFactor> inputs;
    std::vector<LiveFactor> rest;
    for (LiveFactor& factor : live) (Holds(factor, v) ? inputs : rest).push_back(std::move(factor));
    live = std::move(rest);
    std::vector<int> scope;
    LiveFactor out;
    for (const LiveFactor& factor : inputs) {
      for (const auto& var : factor.vars) {
        if (var.first != v) scope.push_back(var.first);
      }
      out.predictors.insert(out.predictors.end(), factor.predictors.begin(),
                            factor.predictors.end());
    }
    std::sort(out.predictors.begin(), out.predictors.end());
    out.predictors.erase(std::unique(out.predictors.begin(), out.predictors.end()),
                         out.predictors.end());
    std::sort(scope.begin(), scope.end());
    scope.erase(std::unique(scope.begin(), scope.end()), scope.end());
    EliminationPlan::Step step;
    std::vector<int> loops(scope.begin(), scope.end());
    loops.push_back(v);
    std::size_t size = 1;
    for (std::size_t j = loops.size() - 1; j-- > 0;) {
      out.vars.emplace_back(loops[j], size);
      size *= static_cast<std::size_t>(nodes_[loops[j]].categories);
      if (size > kFactorLimit) {
        plan->tooLarge = true;
        return plan;
      }
    }
    std::sort(out.vars.begin(), out.vars.end());
    step.cards.reserve(loops.size());
    step.inputs.reserve(inputs.size());
    step.strides.reserve(inputs.size() * loops.size());
    for (int var : loops) step.cards.push_back(nodes_[var].categories);
    for (const LiveFactor& factor : inputs) {
      step.inputs.push_back(factor.id);
      for (int var : loops) step.strides.push_back(StrideIn(factor, var));
    }
    const std::size_t numInputs = step.inputs.size();
    const std::size_t numLoops = loops.size();
    const std::size_t outer = numLoops - 1;
    for (std::size_t i = 0; i < numInputs; ++i) {
      step.summedStrides.push_back(step.strides[i * numLoops + outer]);
    }
    step.carries.assign(outer * numInputs, 0);
    for (std::size_t j = 0; j < outer; ++j) {
      for (std::size_t i = 0; i < numInputs; ++i) {
        std::size_t carry = step.strides[i * numLoops + j];
        for (std::size_t faster = j + 1; faster < outer; ++faster) {
          carry -= step.strides[i * numLoops + faster] *
                   static_cast<std::size_t>(step.cards[faster] - 1);
        }
        step.carries[j * numInputs + i] = carry;  // modulo 2^64, as offsets add up
      }
    }
    step.outOffset = plan->scratchSize;
    step.outSize = size;
    plan->scratchSize += size;
    out.id = numTables + static_cast<int>(plan->steps.size());
    plan->steps.push_back(std::move(step));
    live.push_back(std::move(out));
  }

  for (const LiveFactor& factor : live) {
    EliminationPlan::Final final;
    final.factor = factor.id;
    final.constant = factor.vars.empty();
    final.stride = StrideIn(factor, query);
    final.predictors = factor.predictors;
    plan->finals.push_back(std::move(final));
  }
  return plan;
}

bool InferenceNetwork::Run(const EliminationPlan& plan, EliminationScratch& scratch) const {
  const std::size_t numTables = plan.tables.size();
  const std::size_t numFactors = numTables + plan.steps.size();
  scratch.values.resize(plan.scratchSize);
  scratch.bases.resize(numFactors);
  scratch.data.resize(numFactors);
  for (std::size_t t = 0; t < numTables; ++t) {
    const EliminationPlan::TableFactor& table = plan.tables[t];
    std::size_t base = 0;
    for (const auto& [node, stride] : table.fixed) {
      base += static_cast<std::size_t>(scratch.nodeCodes[static_cast<std::size_t>(node)]) * stride;
    }
    scratch.bases[t] = base;
    scratch.data[t] = nodes_[table.node].table.data();
  }
  for (std::size_t s = 0; s < plan.steps.size(); ++s) {
    scratch.bases[numTables + s] = 0;
    scratch.data[numTables + s] = scratch.values.data() + plan.steps[s].outOffset;
  }

  for (const EliminationPlan::Step& step : plan.steps) {
    const std::size_t numInputs = step.inputs.size();
    scratch.offsets.resize(numInputs);
    scratch.inputs.resize(numInputs);
    scratch.positions.assign(step.cards.size() - 1, 0);
    for (std::size_t i = 0; i < numInputs; ++i) {
      const std::size_t f = static_cast<std::size_t>(step.inputs[i]);
      scratch.offsets[i] = scratch.bases[f];
      scratch.inputs[i] = scratch.data[f];
    }
    scratch.products.resize(static_cast<std::size_t>(step.cards.back()));
    double* out = scratch.values.data() + step.outOffset;
    double largest = 0.0;
    switch (numInputs) {
      case 1:
        largest = RunStep<1>(step, scratch, out);
        break;
      case 2:
        largest = RunStep<2>(step, scratch, out);
        break;
      case 3:
        largest = RunStep<3>(step, scratch, out);
        break;
      case 4:
        largest = RunStep<4>(step, scratch, out);
        break;
      default:
        largest = RunStep<0>(step, scratch, out);
        break;
    }
    // Every entry zero: the evidence has probability zero. Otherwise the
    // factor is scaled to a largest entry of one, which keeps long products
    // from underflowing and changes no posterior.
    if (!(largest > 0.0)) return false;
    if (largest != 1.0) {
      for (std::size_t o = 0; o < step.outSize; ++o) out[o] /= largest;
    }
  }

  return true;
}

InferenceNetwork::Outcome InferenceNetwork::Joint(int query, const int* codes,
                                                  double* joint) const {
  if (tooLarge_) return Outcome::kTooLarge;  // some table was never built
  Scratch& scratch = ThreadScratch();
  const EliminationPlan* plan = PlanFor(query, codes, scratch);
  if (plan != nullptr && plan->tooLarge) return Outcome::kTooLarge;
  const int k = nodes_[query].categories;
  if (!Outside(query, scratch, joint, nullptr) || (plan != nullptr && !Run(*plan, scratch))) {
    std::fill(joint, joint + k, 0.0);
    return Outcome::kDone;
  }
  if (plan == nullptr) return Outcome::kDone;
  for (const EliminationPlan::Final& final : plan->finals) {
    const std::size_t f = static_cast<std::size_t>(final.factor);
    const double* data = scratch.data[f] + scratch.bases[f];
    if (final.constant) {
      if (!(data[0] > 0.0)) {
        std::fill(joint, joint + k, 0.0);
        return Outcome::kDone;
      }
      continue;
    }
    for (int x = 0; x < k; ++x) joint[x] *= data[static_cast<std::size_t>(x) * final.stride];
  }
  return Outcome::kDone;
}

InferenceNetwork::Outcome InferenceNetwork::Groups(const int* codes,
                                                   std::vector<Group>& groups) const {
  groups.clear();
  if (tooLarge_) return Outcome::kTooLarge;  // some table was never built
  Scratch& scratch = ThreadScratch();
  const EliminationPlan* plan = PlanFor(target_, codes, scratch);
  if (plan != nullptr && plan->tooLarge) return Outcome::kTooLarge;
  const int k = nodes_[target_].categories;
  scratch.direct.resize(static_cast<std::size_t>(k));
  if (!Outside(target_, scratch, scratch.direct.data(), &groups) ||
      (plan != nullptr && !Run(*plan, scratch))) {
    groups.clear();
    return Outcome::kDone;
  }
  if (plan == nullptr) return Outcome::kDone;
  for (const EliminationPlan::Final& final : plan->finals) {
    if (final.constant) continue;
    const std::size_t f = static_cast<std::size_t>(final.factor);
    const double* data = scratch.data[f] + scratch.bases[f];
    Group group;
    for (int x = 0; x < k; ++x)
      group.values.push_back(data[static_cast<std::size_t>(x) * final.stride]);
    group.predictors = final.predictors;
    groups.push_back(std::move(group));
  }
  return Outcome::kDone;
}

}  // namespace bnscore::internal
