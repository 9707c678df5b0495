#include "cli/ClassificationMetrics.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace bnscore::cli {

namespace {

constexpr double kUndefined = std::numeric_limits<double>::quiet_NaN();
constexpr double kSmallestProbability = 1e-15;

double Ratio(long numerator, long denominator) {
  return denominator == 0 ? kUndefined
                          : static_cast<double>(numerator) / static_cast<double>(denominator);
}

}  // namespace

ClassificationMetrics::ClassificationMetrics(std::size_t categories)
    : categories_(categories), confusion_(categories * categories, 0) {}

void ClassificationMetrics::Add(std::size_t actual, std::size_t predicted,
                                const std::vector<double>& probabilities) {
  ++records_;
  ++confusion_[actual * categories_ + predicted];
  logLossSum_ -= std::log(std::clamp(probabilities[actual], kSmallestProbability, 1.0));
  double squares = 0;
  for (std::size_t c = 0; c < categories_; ++c) {
    const double error = probabilities[c] - (c == actual ? 1.0 : 0.0);
    squares += error * error;
  }
  brierSum_ += squares;
  if (categories_ == 2) ranked_.emplace_back(probabilities[1], actual == 1);
}

long ClassificationMetrics::GetCorrect() const {
  long correct = 0;
  for (std::size_t c = 0; c < categories_; ++c) correct += GetCount(c, c);
  return correct;
}

long ClassificationMetrics::GetSupport(std::size_t category) const {
  long support = 0;
  for (std::size_t p = 0; p < categories_; ++p) support += GetCount(category, p);
  return support;
}

long ClassificationMetrics::GetPredicted(std::size_t category) const {
  long predicted = 0;
  for (std::size_t a = 0; a < categories_; ++a) predicted += GetCount(a, category);
  return predicted;
}

double ClassificationMetrics::GetAccuracy() const { return Ratio(GetCorrect(), records_); }

double ClassificationMetrics::GetPrecision(std::size_t category) const {
  return Ratio(GetCount(category, category), GetPredicted(category));
}

double ClassificationMetrics::GetRecall(std::size_t category) const {
  return Ratio(GetCount(category, category), GetSupport(category));
}

double ClassificationMetrics::GetF1(std::size_t category) const {
  // 2PR / (P + R) = 2TP / (predicted + actual): defined whenever either is.
  return Ratio(2 * GetCount(category, category), GetPredicted(category) + GetSupport(category));
}

double ClassificationMetrics::GetLogLoss() const {
  return records_ == 0 ? kUndefined : logLossSum_ / static_cast<double>(records_);
}

double ClassificationMetrics::GetBrierScore() const {
  return records_ == 0 ? kUndefined : brierSum_ / static_cast<double>(records_);
}

double ClassificationMetrics::GetRocAuc() const {
  if (categories_ != 2) return kUndefined;
  std::vector<std::pair<double, bool>> sorted = ranked_;
  std::sort(sorted.begin(), sorted.end(),
            [](const auto& a, const auto& b) { return a.first < b.first; });
  // Mann-Whitney: the sum of the positives' ranks, tied values sharing
  // the mean of their ranks (1-based).
  double positiveRankSum = 0;
  long positives = 0;
  for (std::size_t i = 0; i < sorted.size();) {
    std::size_t end = i;
    long tiedPositives = 0;
    while (end < sorted.size() && sorted[end].first == sorted[i].first) {
      tiedPositives += sorted[end].second ? 1 : 0;
      ++end;
    }
    const double meanRank = (static_cast<double>(i + 1) + static_cast<double>(end)) / 2;
    positiveRankSum += meanRank * static_cast<double>(tiedPositives);
    positives += tiedPositives;
    i = end;
  }
  const long negatives = static_cast<long>(sorted.size()) - positives;
  if (positives == 0 || negatives == 0) return kUndefined;
  const double positive = static_cast<double>(positives);
  return (positiveRankSum - positive * (positive + 1) / 2) /
         (positive * static_cast<double>(negatives));
}

}  // namespace bnscore::cli
