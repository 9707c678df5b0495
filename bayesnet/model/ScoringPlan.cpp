#include "bayesnet/model/ScoringPlan.h"

#include <algorithm>

#include "host/data/BaseCaseRecord.h"
#include "host/data/ExactClass.h"
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

ScoringPlan::ScoringPlan(const BayesNetModel& model, std::size_t factorLimit)
    : predictors_(model), columns_(model, predictors_), factors_(model, predictors_, factorLimit) {
  const ScoreDictVar* target = model.ScoredTarget();
  numericTarget_ = target == nullptr || target->GetValueType() == ScoreValue::Numeric;
  const std::vector<const ScoreValue*>& categories = model.GetTargetCategories();
  for (const ScoreValue* value : categories) {
    categoryNumbers_.push_back(value != nullptr ? value->GetDouble() : 0.0);
    categoryTexts_.push_back(value != nullptr ? value->GetString() : std::string());
  }
  categoriesDistinct_ = Distinct(categories);
}
