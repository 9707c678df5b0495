#ifndef BAYESNET_SCORINGPLAN_H_
#define BAYESNET_SCORINGPLAN_H_

#include <cstddef>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "host/data/BaseCaseRecord.h"
#include "host/interfaces/ColumnScoring.h"
#include "host/data/TransformationDictionary.h"
#include "bayesnet/model/BayesNetModel.h"

class BaseDictVar;
class VkBinningEncoder;
class VkCatNumericEncoder;
class VkCatStringEncoder;

// A BayesNetModel's scoring compiled once (docs/scoring-plan.md): names
// resolved, factors tabulated, results bit-identical to the algorithm
// written out literally.
//
// A caller may rely on: Encode, then Score (or Posteriors, when
// HasPosteriors) and NormaliseAndPick give GetScore's values; Score
// multiplies as the algorithm does, for each category c the target's factor
// then each child's in name order. The plan copies the tables it reads and
// points at the model's variables and encoders. REQUIRES: the model outlives
// the plan and does not change while it is used (the model compiles a new
// plan when it does). Immutable after construction, except UsePositions:
// any number of threads may use one plan at once. Owned by the model.
//
// Columns of cells are coded as Encode codes records by BindColumns, then
// EncodeRows; a derived predictor defined by a Discretize of one number is
// compiled into its code for each bin, the default and the missing input.
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
                  // encoder's GetNumCategories(): ScoreOutsidePlan
  };

  ScoringPlan(const BayesNetModel& model, std::size_t factorLimit);

  ScoringPlan(const ScoringPlan&) = delete;
  ScoringPlan& operator=(const ScoringPlan&) = delete;

  // Reads the predictors' record positions (ScoreDictVar::GetIndex) again.
  // REQUIRES: no Encode of an indexed record runs; the model calls it once,
  // when the first indexed record fixes the positions.
  void UsePositions();

  int NumPredictors() const { return static_cast<int>(predictors_.size()); }
  int NumCategories() const { return static_cast<int>(categoryNumbers_.size()); }

  // Locates and encodes every predictor's value as GetScore does, into
  // codes[0 .. NumPredictors()-1]. Stops at the first predictor without a
  // code (nothing else depends on the rest).
  Encoding Encode(const ScoreCaseRecord* record, const ScoreCaseRecord* derived,
                  int* codes) const;

  // Every predictor's code as Encode finds it, for records with gaps:
  // codes[i] is predictor i's code, kNoValue when it has no value or one
  // its variable reports missing, kUnknownValue when its value has no code
  // (or one past its encoder's GetNumCategories()).
  static constexpr int kNoValue = -1;
  static constexpr int kUnknownValue = -2;
  void EncodeEvidence(const ScoreCaseRecord* record, const ScoreCaseRecord* derived,
                      int* codes) const;
  // The text of predictor i's value in the record ("" when it has none).
  std::string ValueText(const ScoreCaseRecord* record, const ScoreCaseRecord* derived,
                        int i) const;

  // A derived predictor computed by a Discretize of one number, compiled:
  // its bins, and the predictor's code for each choice the transformation
  // dictionary makes (-1: no value, or no code).
  struct DerivedInput {
    bool compiled = false;  // false: only GetScore computes it
    std::string field;      // the input field
    std::vector<DiscretizeBin> bins;
    std::vector<int> binCodes;
    int defaultCode = -1;
    int missingCode = -1;
  };
  // Where EncodeRows finds a predictor's value: its own column, or the
  // column of the number its derived value is computed from, or nowhere
  // (all null: missing).
  struct ColumnSource {
    const ColumnScoring::Column* column = nullptr;
    const DerivedInput* derived = nullptr;
    const ColumnScoring::Column* input = nullptr;  // null: the input is missing
  };
  // Per predictor, where its value comes from among `columns` (by record
  // position, and by name for a derived predictor's input when
  // `derivedValues`, that is when GetScore would compute derived values),
  // into `bound` (NumPredictors() entries); false when some predictor's
  // cells could not be coded without value objects: a number or text its
  // encoder reads only through the interfaces, a missing-value test that
  // needs the value, a derived value with an input of texts, or a record
  // cell that a derived value stands in for when it is missing.
  bool BindColumns(const ColumnScoring::Column* columns, int numColumns, bool derivedValues,
                   std::vector<ColumnSource>& bound) const;
  // Encode for rows first .. first+count-1 of the columns BindColumns
  // bound, where each cell stands for the numeric or string value a record
  // would hold: row r's encoding in encodings[r], and when it is not
  // Missing its codes in codes[r * NumPredictors() ..].
  void EncodeRows(const ColumnSource* bound, std::size_t first, std::size_t count, int* codes,
                  Encoding* encodings) const;

  int NumFactors() const { return static_cast<int>(factors_.size()); }

  // scores[c], c = 0 .. NumCategories()-1: the product of the factors for
  // category c, given Complete codes. `offsets` (NumFactors() entries) is
  // the caller's scratch. Allocates nothing once a thread has scored with
  // the plan's sparse factors (if any) before.
  void Score(const int* codes, double* scores, std::size_t* offsets) const;

  // Score for codes that may lie past the dense tables (OutsidePlan): every
  // factor looked up in its rows. Allocates nothing once a thread has
  // looked up factors of this size before.
  void ScoreOutsidePlan(const int* codes, double* scores) const;

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

  // The probability an unseen parent configuration of `node` gets: 0, or
  // under AdjustedBayes one over the node's number of categories.
  static double FallbackScore(const BayesNetModel& model, const std::string& node);

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

  // A derived predictor's code for row `row` of its input column.
  static int DerivedCode(const DerivedInput& derived, const ColumnScoring::Column* input,
                         std::size_t row);
  // Compiles predictor p's derived value, when its input's missing values
  // are only the system-missing value.
  DerivedInput CompileDerived(const Predictor& p, const TransformationDictionary& transformation,
                              const ScoreDictionary* dataDictionary) const;

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
    int node = kNeither;       // the node's source
    std::vector<int> parents;  // the parents' sources, in column order
    double fallback = 0.0;     // the value for a configuration not in the table
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

  // The first position of `name` in the model's predictor name list, or -1.
  int IndexOf(const std::string& name) const;
  // Where the code of the node or parent `name` comes from.
  int Source(const std::string& name) const;
  // Encode, given the record as the host's own record with cells (kCells)
  // or not (then the predictors' positions are not read unless `indexed`).
  template <bool kCells>
  Encoding EncodeFrom(const ScoreCaseRecord* record, const BaseCaseRecord* cells, bool indexed,
                      const ScoreCaseRecord* derived, int* codes) const;
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
  // Whether the value in `cell` is missing for p's variable.
  static bool MissingFor(const Predictor& p, const BaseCaseRecord::Cell& cell);
  // Predictor p's cell in the record (null when it has none); `own` as
  // for Locate.
  const BaseCaseRecord::Cell* CellOf(const Predictor& p, const ScoreCaseRecord* record,
                                     const ScoreCaseRecord* derived,
                                     BaseCaseRecord::Cell& own) const;
  // Appends the factor of `node` (its dense entries to values_).
  void AddFactor(const BayesNetModel& model, const std::string& node, std::size_t factorLimit,
                 std::size_t& planBudget);
  // Score's products for categories first .. first+kBlock-1, with dense
  // factors only: for each, the target's factor, then each child's.
  template <int kBlock>
  void MultiplyBlock(int first, const std::size_t* offsets, double* scores) const;
  // Fills posteriors_ when the plan qualifies (see HasPosteriors).
  void TabulatePosteriors();
  // Score factor by factor: through Value for the sparse factors, or for
  // all with `lookUpAll`, through the dense tables for the others.
  void ScoreByFactor(const int* codes, double* scores, bool lookUpAll) const;

  std::unordered_map<std::string, int> predictorIndex_;  // see IndexOf; emptied once built
  std::vector<Predictor> predictors_;
  std::vector<DerivedInput> derivedInputs_;  // per predictor
  std::vector<int> derivedFields_;  // see DerivedFields
  bool neverComplete_ = false;  // a predictor without variable or encoder
  bool hasTarget_ = false;
  std::string targetName_;  // empty without a target
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
