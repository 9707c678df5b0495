#ifndef BNSCORE_CLI_CLASSIFICATIONMETRICS_H_
#define BNSCORE_CLI_CLASSIFICATIONMETRICS_H_

#include <cstddef>
#include <utility>
#include <vector>

namespace bnscore::cli {

// The figures of a classifier's predictions against known labels, over the
// records added: accuracy, per-category precision, recall, F1 and support,
// the confusion matrix (rows: actual, columns: predicted), log-loss, the
// Brier score and, for two categories, the ROC AUC. Categories are indices
// 0..n-1 in the target's order. A figure that is undefined (a division by
// zero: no records, no prediction of a category, a single class for the
// AUC) is NaN.
//
// log-loss is the mean of -ln p(actual), with p clipped to [1e-15, 1] so
// that a probability of 0 costs 34.5 instead of infinity. The Brier score
// is the mean over records of the sum over categories of (p - y)^2, y being
// 1 for the actual category and 0 for the others (for two categories,
// twice the one-probability form). The AUC ranks the records by the second
// category's probability, ties counted as half.
//
// Memory grows with the records only for the AUC (one probability and one
// flag each); the rest is counters.
class ClassificationMetrics {
 public:
  explicit ClassificationMetrics(std::size_t categories);

  // One record: its actual category, the predicted one, and the
  // probability of each category.
  void Add(std::size_t actual, std::size_t predicted, const std::vector<double>& probabilities);

  std::size_t GetNumCategories() const { return categories_; }
  long GetRecords() const { return records_; }
  long GetCorrect() const;
  long GetCount(std::size_t actual, std::size_t predicted) const {
    return confusion_[actual * categories_ + predicted];
  }
  long GetSupport(std::size_t category) const;
  long GetPredicted(std::size_t category) const;

  double GetAccuracy() const;
  double GetPrecision(std::size_t category) const;
  double GetRecall(std::size_t category) const;
  double GetF1(std::size_t category) const;
  double GetLogLoss() const;
  double GetBrierScore() const;
  double GetRocAuc() const;

 private:
  std::size_t categories_;
  long records_ = 0;
  std::vector<long> confusion_;  // categories_ x categories_, by actual row
  double logLossSum_ = 0;
  double brierSum_ = 0;
  // For two categories: (probability of the second, actual is the second).
  std::vector<std::pair<double, bool>> ranked_;
};

}  // namespace bnscore::cli

#endif  // BNSCORE_CLI_CLASSIFICATIONMETRICS_H_
