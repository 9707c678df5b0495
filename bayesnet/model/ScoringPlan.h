#ifndef BAYESNET_SCORINGPLAN_H_
#define BAYESNET_SCORINGPLAN_H_

#include <cstddef>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "bayesnet/model/BayesNetModel.h"
#include "host/data/BaseCaseRecord.h"

class BaseDictVar;
class VkBinningEncoder;
class VkCatNumericEncoder;
class VkCatStringEncoder;

// A BayesNetModel's scoring compiled once, so that a record costs one
// encoder lookup per predictor and one array read per factor and target
// category, with results bit-identical to the literal algorithm.
//
// Resolved when the plan is built:
//  - per predictor: its dictionary variable, record position and name,
//    whether its missing values are checked (measure 0), its encoder and
//    the number of codes that encoder gives;
//  - per factor (the target's, then each child's in GetChildren order):
//    where the node's code and each parent's code come from (a predictor,
//    the target category being scored, or neither), and the node's value
//    for every (parent codes, node code), laid out densely in row-major
//    order (parents in column order, then the node). Every entry is what
//    BayesNetModel::ComputeLocalScore returns there, with all of its corner
//    cases (unseen configurations and the fallback, codes past the row, a
//    parentless node's first row, nodes that are not predictors); the table
//    is filled from the node's rows, in time proportional to its entries.
//    A factor too large for a dense table (kFactorLimit), or beyond the
//    plan's budget (kPlanLimit), keeps a sparse path, which looks the row
//    up as ComputeLocalScore does;
//  - the target categories' numbers and texts, and whether they are
//    pairwise distinct under ScoreValue::operator== (only then may the
//    result's list be refilled in place);
//  - per predictor, its position among the transformation dictionary's
//    derived fields, so that only the derived fields that are predictors
//    are computed, and read by position;
//  - for a small all-dense plan, the normalised posteriors of every
//    combination of the codes the factors read, computed once by Score and
//    NormaliseAndPick themselves (see HasPosteriors).
//
// Score multiplies as the algorithm does: for each category c, the target's
// factor, then each child's in order.
//
// The plan points into the model (variables, encoders, tables); it is valid
// until the model changes, which is why BayesNetModel discards it in every
// mutator and wherever it hands out a modifiable reference, and builds a
// new one on the next GetScore. Read-only after construction: any number of
// threads may use one plan at once. Owned by the model.
class ScoringPlan {
 public:
  // Largest dense table of one factor, and of all factors together, in
  // entries (8 bytes each); larger factors take the sparse path.
  static constexpr std::size_t kFactorLimit = std::size_t{1} << 20;
  static constexpr std::size_t kPlanLimit = std::size_t{1} << 23;
  // Largest table of posteriors, in entries (8 bytes each).
  static constexpr std::size_t kPosteriorLimit = std::size_t{1} << 14;

  enum class Encoding {
    Complete,     // every predictor has a code the dense tables cover
    Missing,      // some predictor has no usable code
    OutsidePlan,  // every predictor has a code, but one lies past its
                  // encoder's GetNumCategories(): score literally
  };

  ScoringPlan(const BayesNetModel& model, std::size_t factorLimit);

  ScoringPlan(const ScoringPlan&) = delete;
  ScoringPlan& operator=(const ScoringPlan&) = delete;

  int NumPredictors() const { return static_cast<int>(predictors_.size()); }
  int NumCategories() const { return static_cast<int>(categoryNumbers_.size()); }

  // Locates and encodes every predictor's value as GetScore does, into
  // codes[0 .. NumPredictors()-1]. Stops at the first predictor without a
  // code (nothing else depends on the rest).
  Encoding Encode(const ScoreCaseRecord* record, const ScoreCaseRecord* derived,
                  int* codes) const;

  int NumFactors() const { return static_cast<int>(factors_.size()); }

  // scores[c], c = 0 .. NumCategories()-1: the product of the factors for
  // category c, given Complete codes. `offsets` (NumFactors() entries) is
  // the caller's scratch. Allocates nothing once a thread has scored with
  // the plan's sparse factors (if any) before.
  void Score(const int* codes, double* scores, std::size_t* offsets) const;

  // Whether the posteriors of every combination of the codes the factors
  // read are tabulated (only for all-dense plans whose combinations times
  // categories fit kPosteriorLimit).
  bool HasPosteriors() const { return !posteriorBest_.empty(); }
  // Given Complete codes and a plan with posteriors: what Score and then
  // NormaliseAndPick give for them, looked up. Returns the normalised
  // scores (NumCategories() of them) and sets `best` to the category
  // picked, or to -1 when NormaliseAndPick finds no positive sum (the
  // scores returned are then not to be used).
  const double* Posteriors(const int* codes, int& best) const {
    std::size_t combination = 0;
    for (const Input& input : posteriorInputs_) {
      combination += static_cast<std::size_t>(codes[input.predictor]) * input.stride;
    }
    best = posteriorBest_[combination];
    return posteriors_.data() + combination * categoryNumbers_.size();
  }

  // Divides the scores by their sum (added in category order) and sets
  // `best` to the first category of the highest score. False, leaving the
  // scores and `best` as they are, when the sum is not positive, not a
  // number or infinite. Every scoring path normalises through this one
  // function.
  static bool NormaliseAndPick(double* scores, int numCategories, int& best);

  // The positions, in the transformation dictionary's derived-values
  // records, of the derived fields that are predictors: the only ones
  // Encode reads.
  const std::vector<int>& DerivedFields() const { return derivedFields_; }

  // Result filling.
  bool NumericTarget() const { return numericTarget_; }
  bool CategoriesDistinct() const { return categoriesDistinct_; }
  double CategoryNumber(int c) const { return categoryNumbers_[c]; }
  std::string_view CategoryText(int c) const { return categoryTexts_[c]; }

  // How many factors are dense and sparse (for tests).
  int NumDenseFactors() const;
  int NumSparseFactors() const;

 private:
  // Where a code comes from: a predictor index (>= 0) or one of these.
  static constexpr int kTarget = -1;
  static constexpr int kNeither = -2;

  struct Predictor {
    const ScoreDictVar* var;
    const std::string* name;  // var's own name
    int position;             // var->GetIndex()
    bool checkMissing;        // var->GetMeasure() == Continuous
    // var again when it is exactly a BaseDictVar, whose missing-value test
    // is inlined while it declares no missing values; null otherwise.
    const BaseDictVar* dictVar;
    // Where the predictor's value lies in a derived-values record of the
    // model's transformation dictionary (-1: it is no derived field).
    int derivedPosition;
    const IVkEncoder* encoder;
    int numCodes;  // encoder->GetNumCategories()
    // The encoder again when it is exactly of one of these classes, whose
    // codes of the host's own value classes are reached without virtual
    // calls; null otherwise.
    const VkBinningEncoder* binning;
    const VkCatNumericEncoder* numbers;
    const VkCatStringEncoder* strings;
  };

  // A predictor code's place in a dense table.
  struct Input {
    int predictor;
    std::size_t stride;
  };

  struct Factor {
    bool sparse = false;
    // Dense: the value is values_[offset + sum of codes[predictor] * stride
    // over inputs_[firstInput ..] + c * targetStride].
    std::size_t offset = 0;
    std::size_t firstInput = 0;
    std::size_t numInputs = 0;
    std::size_t targetStride = 0;
    // Sparse: the sources of the parents' codes (in column order) and of
    // the node's, the node's table and its fallback score.
    std::vector<int> parents;
    int node = kNeither;
    const BayesNetModel::CPTable* table = nullptr;
    double fallback = 0.0;
  };

  // The first position of `name` in the model's predictor name list, or -1.
  int IndexOf(const std::string& name) const;
  // Where the code of the node or parent `name` comes from.
  int Source(const std::string& name) const;
  // Predictor p's value when the record's own cell holds none (or the
  // record has no cells): in `record`, read through the interface (null
  // when its cells were already looked at; `indexed` is its IsIndexed()),
  // else in the derived values. Null when there is none; a value read
  // through the interfaces is described in `own`.
  static const BaseCaseRecord::Cell* Locate(const Predictor& p, const ScoreCaseRecord* record,
                                            bool indexed, const ScoreCaseRecord* derived,
                                            BaseCaseRecord::Cell& own);
  // Predictor p's code for the value in `cell`, as GetScore finds it: -1
  // when the value is missing for p's variable or has no code.
  static int CodeOf(const Predictor& p, const BaseCaseRecord::Cell& cell);
  // Appends the factor of `node` (its dense entries to values_).
  void AddFactor(const BayesNetModel& model, const std::string& node, std::size_t factorLimit,
                 std::size_t& planBudget);
  // Score's products for categories first .. first+kBlock-1, with dense
  // factors only: for each, the target's factor, then each child's.
  template <int kBlock>
  void MultiplyBlock(int first, const std::size_t* offsets, double* scores) const;
  // Fills posteriors_ when the plan qualifies (see HasPosteriors).
  void TabulatePosteriors();
  // Score when some factor is sparse: factor by factor.
  void ScoreWithSparse(const int* codes, double* scores) const;
  // Fills the dense table of a factor (`total` entries at `values`, all 0.0
  // on entry) with what ComputeLocalScore gives for each combination of
  // digits, in time proportional to the entries plus the table's rows.
  static void FillDense(const BayesNetModel::CPTable& table, double fallback,
                        const std::vector<int>& sources, const std::vector<std::size_t>& dims,
                        const std::vector<std::size_t>& strides, double* values,
                        std::size_t total);
  // The value ComputeLocalScore gives for a sparse factor.
  static double SparseValue(const Factor& factor, const int* codes, int c,
                            std::vector<int>& config);

  std::unordered_map<std::string, int> predictorIndex_;  // see IndexOf; emptied once built
  std::vector<Predictor> predictors_;
  std::vector<int> derivedFields_;  // see DerivedFields
  bool neverComplete_ = false;  // a predictor without variable or encoder
  const std::string* targetName_ = nullptr;
  std::vector<Factor> factors_;  // the target's, then its children's
  std::vector<Input> inputs_;    // the dense factors' inputs, factor by factor
  std::vector<double> values_;   // the dense factors' tables, one after another
  std::vector<std::size_t> targetStrides_;  // per factor, its targetStride
  // The tabulated posteriors: for each combination of the codes of the
  // predictors in posteriorInputs_ (row-major, strides there), the
  // normalised scores of every category and the category picked (-1: no
  // score). Empty when not tabulated.
  std::vector<Input> posteriorInputs_;
  std::vector<double> posteriors_;
  std::vector<int> posteriorBest_;
  bool anySparse_ = false;
  bool numericTarget_ = true;
  bool categoriesDistinct_ = false;
  std::vector<double> categoryNumbers_;
  std::vector<std::string> categoryTexts_;
};

#endif  // BAYESNET_SCORINGPLAN_H_
