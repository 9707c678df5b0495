#ifndef BAYESNET_INFERENCENETWORK_H_
#define BAYESNET_INFERENCENETWORK_H_

#include <cstddef>
#include <cstdint>
#include <memory>
#include <shared_mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "bayesnet/model/BayesNetModel.h"

namespace bnscore::internal {

struct EliminationPlan;
struct EliminationScratch;

// A BayesNetModel's network read as a joint distribution, the product of
// every node's conditional table, and exact inference on it by variable
// elimination (docs/inference.md).
//
// The nodes are the target and every name the tables, the parents table or
// the arcs mention. Each node's table is held dense over its parents'
// categories, with the model's rule for a configuration the table does not
// hold (0, or uniform under AdjustedBayes) applied, and for a node without
// parents the table's first row, as GetScore reads them.
//
// Evidence comes as GetScore's predictor codes (one per predictor, or
// kNoValue). For a query node and a pattern of observed nodes, only the
// query, the observed nodes and their ancestors take part (the other nodes
// are barren: they sum to one). The tables no hidden node is in are
// multiplied directly; the tables around the hidden nodes are eliminated
// by a plan (an elimination order, greedily by fewest fill-in edges, and
// its steps) compiled once per query, set of hidden nodes and set of their
// observed children, and kept (up to kMaxPlans; past that a plan is
// compiled per call). Every factor an elimination makes is scaled to a
// largest entry of one, which keeps long products from underflowing and
// changes no posterior.
//
// REQUIRES: the model outlives this object and does not change while it
// is used. Thread-safe: the plans are shared under a lock; the working
// arrays are per thread.
class InferenceNetwork {
 public:
  static constexpr int kNoValue = -1;  // a predictor code: no usable value
  // Largest dense table of one node, or one factor made while
  // eliminating, in entries; a larger one makes inference refuse.
  static constexpr std::size_t kFactorLimit = std::size_t{1} << 24;
  static constexpr std::size_t kMaxPlans = 4096;

  explicit InferenceNetwork(const BayesNetModel& model);
  ~InferenceNetwork();

  InferenceNetwork(const InferenceNetwork&) = delete;
  InferenceNetwork& operator=(const InferenceNetwork&) = delete;

  int NumNodes() const { return static_cast<int>(nodes_.size()); }
  const std::string& NodeName(int node) const { return nodes_[node].name; }
  int NumCategories(int node) const { return nodes_[node].categories; }
  const std::vector<std::string>& CategoryTexts(int node) const { return nodes_[node].texts; }
  // The node of that name, or -1.
  int FindNode(const std::string& name) const;
  // The target's node, or -1 when the model has no target.
  int TargetNode() const { return target_; }
  // The predictor whose codes give the node's evidence, or -1 (a node that
  // is neither the target nor a predictor is always hidden or barren).
  int NodePredictor(int node) const { return nodes_[node].predictor; }

  // One factor of the target alone that the elimination ends with, for
  // the log-odds: its value for each target category (scaled by some
  // positive number), and the predictors (observed nodes) whose tables it
  // holds: for the target's own table, its observed parents.
  struct Group {
    std::vector<double> values;
    std::vector<int> predictors;
  };

  enum class Outcome { kDone, kTooLarge };

  // P(query, e) up to a positive factor, one entry per category of
  // `query`, where e is every observed node's code in `codes` other than
  // the query's own (a code past a node's categories counts as no value).
  // All zero when the evidence has probability zero. kTooLarge when some
  // factor would exceed kFactorLimit (posterior untouched).
  Outcome Joint(int query, const int* codes, double* joint) const;
  // The factors of the target whose product is Joint(target) up to the
  // tables that do not hold the target (constants, which are not checked
  // here): one Group each. None when the evidence has probability zero
  // within the hidden part.
  Outcome Groups(const int* codes, std::vector<Group>& groups) const;

 private:
  struct Node {
    std::string name;
    int categories = 0;
    std::vector<std::string> texts;
    int predictor = -1;
    std::vector<int> parents;
    std::vector<std::size_t> strides;  // per parent; the node's own is 1
    std::vector<double> table;         // empty when too large
  };

  // Sets the scratch's evidence (every node's code and `state`, the
  // observed and the hidden nodes) for `query` and the predictor codes in
  // `codes`, and returns the plan that eliminates the hidden nodes (cached
  // by the query, the hidden nodes and which of their children are
  // observed), or null when no node is hidden.
  const EliminationPlan* PlanFor(int query, const int* codes, EliminationScratch& scratch) const;
  // The plan over the tables of the hidden nodes and of the nodes with a
  // hidden parent.
  std::unique_ptr<EliminationPlan> Compile(int query, const std::vector<char>& state) const;
  // A node's part in one inference (PlanFor's `state`).
  static constexpr char kBarren = 0;  // neither observed nor an ancestor of one
  static constexpr char kObserved = 1;
  static constexpr char kHidden = 2;  // unobserved ancestor of the query or of an observed node
  static constexpr char kQuery = 3;
  // The tables no hidden node is in: the query's own when its parents are
  // observed, and each observed node's without a hidden parent. Those that
  // hold the query multiply `joint` (which this sets first: the query's
  // table, or ones) and, when `groups` is not null, each adds a group;
  // the others are constants that only have to be positive (not checked
  // with `groups`). False when one is not (the evidence has probability
  // zero).
  bool Outside(int query, const EliminationScratch& scratch, double* joint,
               std::vector<Group>* groups) const;
  // Runs the steps of `plan` on the scratch's evidence into its values,
  // where the final factors are then read; false when the evidence has
  // probability zero.
  bool Run(const EliminationPlan& plan, EliminationScratch& scratch) const;

  std::vector<Node> nodes_;
  std::unordered_map<std::string, int> index_;
  int target_ = -1;
  bool tooLarge_ = false;  // some node's table exceeds kFactorLimit
  // The nodes' predictors, categories and tables, and their parents (with
  // strides) and children, node n's at [start[n], start[n + 1]).
  std::vector<int> nodePredictors_;
  std::vector<int> nodeCategories_;
  std::vector<const double*> tables_;
  std::vector<int> parentStart_;
  std::vector<int> parentList_;
  std::vector<std::size_t> parentStrides_;
  std::vector<int> childStart_;
  std::vector<int> childList_;

  struct KeyHash {
    std::size_t operator()(const std::vector<std::uint64_t>& key) const;
  };
  mutable std::shared_mutex plansMutex_;
  mutable std::unordered_map<std::vector<std::uint64_t>, std::unique_ptr<EliminationPlan>, KeyHash>
      plans_;
};

}  // namespace bnscore::internal

#endif  // BAYESNET_INFERENCENETWORK_H_
