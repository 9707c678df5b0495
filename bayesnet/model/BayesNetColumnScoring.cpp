// BayesNetModel's ColumnScoring: records taken from columns of cells and
// scored by the plan, with GetScore's statuses and numbers.
#include <algorithm>
#include <limits>
#include <memory>

#include "host/data/NumericValue.h"
#include "bayesnet/model/BayesNetModel.h"
#include "bayesnet/model/ScoringPlan.h"

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// Rows encoded at a time, column by column: few enough that their codes
// stay in cache, enough that each column is read as a stream.
constexpr std::size_t kBlockRows = 64;

// Columns bound to a BayesNetModel: the source of every predictor's code,
// for the plan they were bound with, and the evidence options. Made by
// AcceptsColumns, owned by its caller; points into the caller's columns
// and the plan.
class BoundPlanColumns final : public ColumnScoring::BoundColumns {
 public:
  BoundPlanColumns(const ScoringPlan& plan, const EvidenceInference::Options* evidence)
      : plan_(plan), sumOutMissing_(evidence != nullptr && evidence->sumOutMissing) {
    if (evidence != nullptr) evidence_ = *evidence;
  }

  const ScoringPlan& Plan() const { return plan_; }
  std::vector<ColumnCoder::ColumnSource>& Sources() { return sources_; }
  const ColumnCoder::ColumnSource* Sources() const { return sources_.data(); }
  // Whether rows with gaps are summed out (with Evidence()'s options),
  // which needs every predictor's code of such rows.
  bool SumOutMissing() const { return sumOutMissing_; }
  const EvidenceInference::Options& Evidence() const { return evidence_; }

 private:
  const ScoringPlan& plan_;
  std::vector<ColumnCoder::ColumnSource> sources_;
  bool sumOutMissing_;
  EvidenceInference::Options evidence_;
};

// A block's working arrays, for the plan's sizes: the codes of kBlockRows
// rows (laid out as the loop that fills them chooses), their encodings and
// cells in error, the scores of `scoreRows` rows, and Score's offsets.
// The codes are left unset (tens of kilobytes on a wide model, per call):
// the encoding loops write every code of a row before anything reads it.
struct BlockScratch {
  BlockScratch(const ScoringPlan& plan, std::size_t scoreRows)
      : codes(new int[kBlockRows * Positive(plan.Predictors().NumPredictors())]),
        encodings(kBlockRows),
        bad(kBlockRows),
        scores(scoreRows * Positive(plan.NumCategories())),
        offsets(Positive(plan.Factors().NumFactors())) {}

  static std::size_t Positive(int count) { return static_cast<std::size_t>(std::max(1, count)); }

  std::unique_ptr<int[]> codes;
  std::vector<ScoringPlan::Encoding> encodings;
  std::vector<unsigned char> bad;
  std::vector<double> scores;
  std::vector<std::size_t> offsets;
};

// Writes row `row`'s outcome: its status, the category picked, and the
// confidence and probabilities as a result gives them (only for a scored
// record of a model not limited to its prediction; else NaN).
void Put(const ColumnScoring::Outputs& outputs, std::size_t row, std::size_t k,
         const ScoringPlan::Decision& decision, bool predictionOnly) {
  outputs.status[row] = decision.status;
  outputs.prediction[row] = decision.best;
  const bool give = decision.status == MCScore::kScored && !predictionOnly;
  if (outputs.confidence != nullptr) {
    outputs.confidence[row] = give ? decision.posteriors[decision.best] : kNaN;
  }
  if (outputs.probabilities != nullptr) {
    double* probabilities = outputs.probabilities + row * k;
    if (give) {
      std::copy(decision.posteriors, decision.posteriors + k, probabilities);
    } else {
      std::fill(probabilities, probabilities + k, kNaN);
    }
  }
}

}  // namespace

std::size_t BayesNetModel::ScoreColumnBlocks(const ColumnScoring::BoundColumns& columns,
                                             std::size_t begin, std::size_t end,
                                             const Outputs& outputs) const {
  // ScoreColumns without evidence, a block of rows at a time: the codes
  // column by column, then (without tabulated posteriors) every row's
  // products factor by factor, then each row's decision (DecideMultiplied).
  const auto& bound = static_cast<const BoundPlanColumns&>(columns);
  const ScoringPlan& plan = bound.Plan();
  const BlanketFactors& factors = plan.Factors();
  const std::size_t k = static_cast<std::size_t>(plan.NumCategories());
  const bool tabulated = factors.HasPosteriors();
  BlockScratch scratch(plan, kBlockRows);
  for (std::size_t first = begin; first < end; first += kBlockRows) {
    const std::size_t count = std::min(kBlockRows, end - first);
    plan.Columns().EncodeBlock(bound.Sources(), first, count, scratch.codes.get(), kBlockRows,
                               scratch.encodings.data(), scratch.bad.data());
    if (!tabulated) {
      factors.ScoreBlock(scratch.codes.get(), kBlockRows, count, scratch.scores.data());
    }
    for (std::size_t r = 0; r < count; ++r) {
      const std::size_t row = first + r;
      // A code past the dense tables: GetScore scores such a record literally.
      if (scratch.encodings[r] == ScoringPlan::Encoding::OutsidePlan) return row;
      Put(outputs, row, k,
          plan.DecideMultiplied(scratch.encodings[r], scratch.codes.get() + r, kBlockRows,
                                scratch.scores.data() + r * k),
          predictionOnly_);
    }
  }
  return end;
}

bool BayesNetModel::DerivesValues() const {
  // As DerivedValues decides for a record without derived values in it.
  return needDerivedPredictor_ && GetTransformationDictionary() != nullptr;
}

std::vector<const ScoreValue*> BayesNetModel::GetColumnCategories() const {
  return targetCategories_;
}

std::unique_ptr<ColumnScoring::BoundColumns> BayesNetModel::AcceptsColumns(
    const Column* columns, int numColumns, const Options* evidence) const {
  if (plan_ == nullptr) return nullptr;
  // A record without a score predicts the system-missing number or the
  // empty text; the reader of a result finds that among the categories
  // when one of them is such a value, which ScoreColumns does not mimic.
  const ScoringPlan& plan = *plan_;
  for (int c = 0; c < plan.NumCategories(); ++c) {
    if (plan.NumericTarget() ? plan.CategoryNumber(c) == NumericValue::GetSysmisValue()
                             : plan.CategoryText(c).empty()) {
      return nullptr;
    }
  }
  auto bound = std::make_unique<BoundPlanColumns>(plan, evidence);
  if (!plan.Columns().Bind(columns, numColumns, DerivesValues(), bound->Sources())) return nullptr;
  return bound;
}

std::size_t BayesNetModel::ScoreColumns(const BoundColumns& columns, std::size_t begin,
                                        std::size_t end, const Outputs& outputs) const {
  // REQUIRES: `columns` came from this model's AcceptsColumns.
  const auto& bound = static_cast<const BoundPlanColumns&>(columns);
  // Columns bound with a plan compiled since then: for GetScore.
  if (plan_.get() != &bound.Plan()) return begin;
  const ScoringPlan& plan = bound.Plan();
  const bool sumOutMissing = bound.SumOutMissing();

  const std::size_t k = static_cast<std::size_t>(plan.NumCategories());
  if (!sumOutMissing && k > 0 &&
      (plan.Factors().HasPosteriors() || plan.Factors().ScoresBlocks())) {
    return ScoreColumnBlocks(bound, begin, end, outputs);
  }
  const std::size_t n = BlockScratch::Positive(plan.Predictors().NumPredictors());
  BlockScratch scratch(plan, 1);
  for (std::size_t first = begin; first < end; first += kBlockRows) {
    const std::size_t count = std::min(kBlockRows, end - first);
    plan.Columns().EncodeRows(bound.Sources(), first, count, scratch.codes.get(),
                              scratch.encodings.data(), sumOutMissing);
    for (std::size_t r = 0; r < count; ++r) {
      const std::size_t row = first + r;
      int* rowCodes = scratch.codes.get() + r * n;
      const ScoringPlan::Encoding encoding = scratch.encodings[r];
      // A code past the dense tables: GetScore scores such a record literally.
      if (encoding == ScoringPlan::Encoding::OutsidePlan) return row;
      // A row with gaps is inferred from the codes the columns gave.
      Put(outputs, row, k,
          plan.Decide(encoding, rowCodes, scratch.scores.data(), scratch.offsets.data(),
                      [&](double* inferred, int& best) {
                        if (!sumOutMissing) return MCScore::kMissingPredictor;
                        return InferTarget(rowCodes, bound.Evidence(), inferred, best);
                      }),
          predictionOnly_);
    }
  }
  return end;
}
