// BayesNetModel's ColumnScoring: records taken from columns of cells and
// scored by the plan, with GetScore's statuses and numbers.
#include <algorithm>
#include <limits>

#include "host/data/NumericValue.h"
#include "bayesnet/model/BayesNetModel.h"
#include "bayesnet/model/ScoringPlan.h"

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// Rows encoded at a time, column by column: few enough that their codes
// stay in cache, enough that each column is read as a stream.
constexpr std::size_t kBlockRows = 32;

}  // namespace

bool BayesNetModel::DerivesValues() const {
  // As DerivedValues decides for a record without derived values in it.
  return needDerivedPredictor_ && GetTransformationDictionary() != nullptr;
}

std::vector<const ScoreValue*> BayesNetModel::GetColumnCategories() const {
  return targetCategories_;
}

bool BayesNetModel::AcceptsColumns(const Column* columns, int numColumns) const {
  if (plan_ == nullptr) return false;
  // A record without a score predicts the system-missing number or the
  // empty text; the reader of a result finds that among the categories
  // when one of them is such a value, which ScoreColumns does not mimic.
  const ScoringPlan& plan = *plan_;
  for (int c = 0; c < plan.NumCategories(); ++c) {
    if (plan.NumericTarget() ? plan.CategoryNumber(c) == NumericValue::GetSysmisValue()
                             : plan.CategoryText(c).empty()) {
      return false;
    }
  }
  std::vector<ColumnCoder::ColumnSource> bound;
  return plan.Columns().Bind(columns, numColumns, DerivesValues(), bound);
}

std::size_t BayesNetModel::ScoreColumns(const Column* columns, int numColumns,
                                        std::size_t begin, std::size_t end,
                                        const Outputs& outputs) const {
  if (plan_ == nullptr) return begin;
  const ScoringPlan& plan = *plan_;
  std::vector<ColumnCoder::ColumnSource> bound;
  if (!plan.Columns().Bind(columns, numColumns, DerivesValues(), bound)) return begin;

  const int numCategories = plan.NumCategories();
  const std::size_t k = static_cast<std::size_t>(numCategories);
  const std::size_t n =
      static_cast<std::size_t>(std::max(1, plan.Predictors().NumPredictors()));
  std::vector<int> codes(kBlockRows * n);
  std::vector<ScoringPlan::Encoding> encodings(kBlockRows);
  std::vector<double> scores(std::max<std::size_t>(1, k));
  std::vector<std::size_t> offsets(
      static_cast<std::size_t>(std::max(1, plan.Factors().NumFactors())));

  for (std::size_t first = begin; first < end; first += kBlockRows) {
    const std::size_t count = std::min(kBlockRows, end - first);
    plan.Columns().EncodeRows(bound.data(), first, count, codes.data(), encodings.data(), false);
    for (std::size_t r = 0; r < count; ++r) {
      const std::size_t row = first + r;
      const int* rowCodes = codes.data() + r * n;
      // A code past the dense tables: GetScore scores such a record literally.
      if (encodings[r] == ScoringPlan::Encoding::OutsidePlan) return row;
      // A row with gaps is missing here; the engine scores it again through
      // a record when gaps are summed out.
      const ScoringPlan::Decision decision =
          plan.Decide(encodings[r], rowCodes, scores.data(), offsets.data(),
                      [](double*, int&) { return MCScore::kMissingPredictor; });

      outputs.status[row] = decision.status;
      outputs.prediction[row] = decision.best;
      // Confidence and probabilities as a result gives them: only for a
      // scored record of a model that is not limited to its prediction.
      const bool give = decision.status == MCScore::kScored && !predictionOnly_;
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
  }
  return end;
}
