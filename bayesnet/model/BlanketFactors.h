#ifndef BAYESNET_BLANKETFACTORS_H_
#define BAYESNET_BLANKETFACTORS_H_

#include <cmath>
#include <cstddef>
#include <string>
#include <vector>

#include "bayesnet/model/BayesNetModel.h"
#include "bayesnet/model/PredictorCoder.h"

// The factors of a BayesNetModel's target's Markov blanket, tabulated
// (docs/scoring-plan.md): the target's table and each child's, with every
// name resolved, and the products that make each target category's score.
//
// A caller may rely on: Score multiplies as GetScore's algorithm does, for
// each category c the target's factor then each child's in name order;
// Posteriors, where tabulated, gives what Score and then NormaliseAndPick
// give, bit for bit. Every scoring path normalises and picks through
// NormaliseAndPick.
//
// Copies the tables it reads. REQUIRES: the model outlives the factors
// (FallbackScore and the names are read while building). Immutable after
// construction: any number of threads may use it at once. Owned by the
// model's ScoringPlan.
class BlanketFactors {
 public:
  // Largest dense table of one factor, and of all factors together, in
  // entries (8 bytes each); larger factors take the sparse path.
  static constexpr std::size_t kFactorLimit = std::size_t{1} << 20;
  static constexpr std::size_t kPlanLimit = std::size_t{1} << 23;
  // Largest table of posteriors, in entries (8 bytes each).
  static constexpr std::size_t kPosteriorLimit = std::size_t{1} << 14;

  // The factors of the model's blanket over the codes `predictors` gives;
  // factors of more than `factorLimit` entries are looked up row by row.
  BlanketFactors(const BayesNetModel& model, const PredictorCoder& predictors,
                 std::size_t factorLimit);

  BlanketFactors(const BlanketFactors&) = delete;
  BlanketFactors& operator=(const BlanketFactors&) = delete;

  int NumCategories() const { return numCategories_; }
  int NumFactors() const { return static_cast<int>(factors_.size()); }

  // scores[c], c = 0 .. NumCategories()-1: the product of the factors for
  // category c, given Complete codes. `offsets` (NumFactors() entries) is
  // the caller's scratch. Allocates nothing once a thread has scored with
  // sparse factors (if any) before.
  void Score(const int* codes, double* scores, std::size_t* offsets) const;

  // Score for codes that may lie past the dense tables (OutsidePlan): every
  // factor looked up in its rows. Allocates nothing once a thread has
  // looked up factors of this size before.
  void ScoreOutsidePlan(const int* codes, double* scores) const;

  // Whether the posteriors of every combination of the codes the factors
  // read are tabulated (only for all-dense factors whose combinations times
  // categories fit kPosteriorLimit).
  bool HasPosteriors() const { return !posteriorBest_.empty(); }
  // Given Complete codes and tabulated posteriors: what Score and then
  // NormaliseAndPick give for them, looked up. Returns the normalised
  // scores (NumCategories() of them) and sets `best` to the category
  // picked, or to -1 when NormaliseAndPick finds no positive sum (the
  // scores returned are then not to be used).
  // Predictor i's code is codes[i * codeStride].
  const double* Posteriors(const int* codes, int& best, std::size_t codeStride = 1) const {
    std::size_t combination = 0;
    for (const Input& input : posteriorInputs_) {
      combination +=
          static_cast<std::size_t>(codes[static_cast<std::size_t>(input.predictor) * codeStride]) *
          input.stride;
    }
    best = posteriorBest_[combination];
    return posteriors_.data() + combination * static_cast<std::size_t>(numCategories_);
  }

  // Whether ScoreBlock may be used: no posteriors tabulated, every factor
  // dense, with a table of at least one entry, and their copy by category
  // fits kBlockLimit.
  bool ScoresBlocks() const { return !blockFactors_.empty(); }
  // Score for rows 0 .. count-1 of a block of Complete codes, predictor i's
  // code of row r at codes[i * stride + r]: row r's scores at
  // scores[r * NumCategories() ..], multiplied factor by factor, each
  // category's product in Score's order, so bit for bit Score's.
  void ScoreBlock(const int* codes, std::size_t stride, std::size_t count, double* scores) const;

  // Divides the scores by their sum (added in category order) and sets
  // `best` to the first category of the highest score (ties go to the
  // first). False, leaving the scores and `best` as they are, when the sum
  // is not positive, not a number or infinite.
  // Inline: every scoring path takes it per record.
  static bool NormaliseAndPick(double* scores, int numCategories, int& best) {
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

  // The probability an unseen parent configuration of `node` gets: 0, or
  // under AdjustedBayes one over the node's number of categories.
  static double FallbackScore(const BayesNetModel& model, const std::string& node);

  // Largest copy of the dense tables by category, in entries.
  static constexpr std::size_t kBlockLimit = std::size_t{1} << 21;

  // How many factors are dense and sparse (for tests).
  int NumDenseFactors() const;
  int NumSparseFactors() const;

 private:
  // Where a code comes from: a predictor index (>= 0) or one of these.
  static constexpr int kTarget = -1;
  static constexpr int kNeither = -2;

  // A predictor code's place in a dense table.
  struct Input {
    int predictor;
    std::size_t stride;
  };

  // One factor of the product: the node's probability given its parents,
  // with every name resolved. Value is the one rule for its value; the
  // dense table, where there is one, holds Value for every combination of
  // codes in range.
  struct Factor {
    // Dense (read for every record, hence first): the value is
    // values_[offset + sum of codes[predictor] * stride over
    // inputs_[firstInput ..] + c * targetStride].
    std::size_t offset = 0;
    std::size_t firstInput = 0;
    std::size_t numInputs = 0;
    std::size_t targetStride = 0;
    bool sparse = false;  // no dense table: Value for every record
    // A source is neither target nor predictor: the value is 0.0.
    bool zero = false;
    int node = kNeither;           // the node's source
    std::vector<int> parents;      // the parents' sources, in column order
    double fallback = 0.0;         // the value for a configuration not in the table
    BayesNetModel::CPTable table;  // the node's rows

    // The row `config` (the parents' codes) selects: for a node without
    // parents the table's first row, whatever its configuration; null when
    // there is none.
    const std::vector<double>* Row(const std::vector<int>& config) const;
    // The value given the row selected and the node's code x: the row's
    // entry x (0.0 past the row), or the fallback without a row.
    double Entry(const std::vector<double>* row, int x) const {
      if (row == nullptr) return fallback;
      return x >= 0 && x < static_cast<int>(row->size()) ? (*row)[x] : 0.0;
    }
    // The value for the predictors' `codes` and target category c; `config`
    // is scratch.
    double Value(const int* codes, int c, std::vector<int>& config) const;
    // Writes the dense table (`total` entries at `values`, all 0.0 on
    // entry, laid out by `dims` and `strides`, the node last), in time
    // proportional to the entries plus the table's rows.
    void FillDense(const std::vector<std::size_t>& dims, const std::vector<std::size_t>& strides,
                   double* values, std::size_t total) const;
  };

  // A dense factor for ScoreBlock: its values for every combination of its
  // inputs' codes, the categories' values side by side: for codes x_j of
  // inputs_[firstInput + j], values at blockValues_[offset + sum of x_j *
  // blockStrides_[firstInput + j] + c].
  struct BlockFactor {
    std::size_t offset = 0;
    std::size_t firstInput = 0;
    std::size_t numInputs = 0;
  };
  // Fills blockFactors_ and blockValues_ when the factors qualify.
  void CopyByCategory(const std::vector<int>& numCodes);
  // ScoreBlock's products with factor f, whose row for row r starts at
  // `row(r)`: kAssign for the first factor.
  template <int kCategories, bool kAssign, class Row>
  static void MultiplyRows(Row row, std::size_t count, int k, double* scores);
  template <int kCategories>
  void ScoreBlockAs(const int* codes, std::size_t stride, std::size_t count, double* scores) const;

  // What the factors are built from, only while building.
  struct Sources;
  // Appends the factor of `node` (its dense entries to values_).
  void AddFactor(const BayesNetModel& model, const Sources& sources, const std::string& node,
                 std::size_t factorLimit, std::size_t& planBudget);
  // Score's products for categories first .. first+kBlock-1, with dense
  // factors only: for each, the target's factor, then each child's.
  template <int kBlock>
  void MultiplyBlock(int first, const std::size_t* offsets, double* scores) const;
  // Fills posteriors_ when the factors qualify (see HasPosteriors), from
  // each predictor's number of codes.
  void TabulatePosteriors(const std::vector<int>& numCodes);
  // Score factor by factor: through Value for the sparse factors, or for
  // all with `lookUpAll`, through the dense tables for the others.
  void ScoreByFactor(const int* codes, double* scores, bool lookUpAll) const;

  int numCategories_ = 0;
  std::vector<Factor> factors_;             // the target's, then its children's
  std::vector<Input> inputs_;               // the dense factors' inputs, factor by factor
  std::vector<double> values_;              // the dense factors' tables, one after another
  std::vector<std::size_t> targetStrides_;  // per factor, its targetStride
  // The tabulated posteriors: for each combination of the codes of the
  // predictors in posteriorInputs_ (row-major, strides there), the
  // normalised scores of every category and the category picked (-1: no
  // score). Empty when not tabulated.
  std::vector<Input> posteriorInputs_;
  std::vector<double> posteriors_;
  std::vector<int> posteriorBest_;
  bool anySparse_ = false;
  std::vector<BlockFactor> blockFactors_;  // empty: no ScoreBlock
  std::vector<std::size_t> blockStrides_;  // per entry of inputs_
  std::vector<double> blockValues_;
};

#endif  // BAYESNET_BLANKETFACTORS_H_
