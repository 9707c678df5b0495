#include "learn/Discretizer.h"

#include <algorithm>
#include <cmath>

namespace bnscore::learn {

std::uint64_t ValueCounts::Total(std::size_t value) const {
  std::uint64_t total = 0;
  for (std::size_t c = 0; c < classes; ++c) total += counts[value * classes + c];
  return total;
}

double CutBetween(double lower, double upper) {
  const double middle = lower + (upper - lower) / 2;
  return middle < upper && middle >= lower ? middle : lower;
}

namespace {

// Entropy in bits of class counts summing to `total`, and the number of
// classes present.
double Entropy(const std::vector<std::uint64_t>& counts, std::uint64_t total, int& present) {
  present = 0;
  if (total == 0) return 0.0;
  double entropy = 0.0;
  for (std::uint64_t count : counts) {
    if (count == 0) continue;
    ++present;
    const double p = static_cast<double>(count) / static_cast<double>(total);
    entropy -= p * std::log2(p);
  }
  return entropy;
}

class MdlSplitter {
 public:
  explicit MdlSplitter(const ValueCounts& column) : column_(column) {}

  // Splits the distinct values [begin, end) and appends the accepted cuts
  // in ascending order.
  void Split(std::size_t begin, std::size_t end, std::vector<double>& cuts) {
    if (end - begin < 2) return;
    const std::size_t k = column_.classes;
    std::vector<std::uint64_t> all(k, 0), left(k, 0), right(k);
    for (std::size_t v = begin; v < end; ++v) {
      for (std::size_t c = 0; c < k; ++c) all[c] += column_.counts[v * k + c];
    }
    std::uint64_t n = 0;
    for (std::uint64_t count : all) n += count;
    int classes = 0;
    const double entropy = Entropy(all, n, classes);
    if (classes < 2) return;  // a pure range has nothing to gain

    double bestEntropy = INFINITY;
    std::size_t best = end;  // the last value of the lower part
    std::uint64_t leftN = 0;
    int present = 0;
    for (std::size_t v = begin; v + 1 < end; ++v) {
      for (std::size_t c = 0; c < k; ++c) {
        left[c] += column_.counts[v * k + c];
        leftN += column_.counts[v * k + c];
      }
      for (std::size_t c = 0; c < k; ++c) right[c] = all[c] - left[c];
      const double weighted =
          (static_cast<double>(leftN) * Entropy(left, leftN, present) +
           static_cast<double>(n - leftN) * Entropy(right, n - leftN, present)) /
          static_cast<double>(n);
      if (weighted < bestEntropy) {
        bestEntropy = weighted;
        best = v;
      }
    }
    // The parts of the best split again, for the description-length test.
    std::fill(left.begin(), left.end(), 0);
    leftN = 0;
    for (std::size_t v = begin; v <= best; ++v) {
      for (std::size_t c = 0; c < k; ++c) {
        left[c] += column_.counts[v * k + c];
        leftN += column_.counts[v * k + c];
      }
    }
    for (std::size_t c = 0; c < k; ++c) right[c] = all[c] - left[c];
    int k1 = 0, k2 = 0;
    const double e1 = Entropy(left, leftN, k1);
    const double e2 = Entropy(right, n - leftN, k2);
    const double gain = entropy - bestEntropy;
    const double delta =
        std::log2(std::pow(3.0, classes) - 2) - (classes * entropy - k1 * e1 - k2 * e2);
    const double threshold =
        (std::log2(static_cast<double>(n) - 1) + delta) / static_cast<double>(n);
    if (!(gain > threshold)) return;
    Split(begin, best + 1, cuts);
    cuts.push_back(CutBetween(column_.values[best], column_.values[best + 1]));
    Split(best + 1, end, cuts);
  }

 private:
  const ValueCounts& column_;
};

}  // namespace

std::vector<double> MdlCuts(const ValueCounts& column) {
  std::vector<double> cuts;
  MdlSplitter(column).Split(0, column.values.size(), cuts);
  return cuts;
}

std::vector<double> EqualWidthCuts(const ValueCounts& column, std::size_t bins) {
  std::vector<double> cuts;
  const std::vector<double>& values = column.values;
  if (values.size() < 2 || bins < 2) return cuts;
  const double low = values.front(), high = values.back();
  for (std::size_t i = 1; i < bins; ++i) {
    const double edge = low + (high - low) * static_cast<double>(i) / static_cast<double>(bins);
    // The last value at or below the edge, and the next one.
    const std::size_t upper = static_cast<std::size_t>(
        std::upper_bound(values.begin(), values.end(), edge) - values.begin());
    if (upper == 0 || upper >= values.size()) continue;
    const double cut = CutBetween(values[upper - 1], values[upper]);
    if (cuts.empty() || cut > cuts.back()) cuts.push_back(cut);
  }
  return cuts;
}

std::vector<double> EqualFrequencyCuts(const ValueCounts& column, std::size_t bins) {
  std::vector<double> cuts;
  if (column.values.size() < 2 || bins < 2) return cuts;
  std::uint64_t total = 0;
  for (std::size_t v = 0; v < column.values.size(); ++v) total += column.Total(v);
  std::uint64_t running = 0;
  std::size_t next = 1;  // the next cut's number
  for (std::size_t v = 0; v + 1 < column.values.size() && next < bins; ++v) {
    running += column.Total(v);
    // Reached i·N/bins, compared in integers: running·bins >= i·N.
    if (running * bins >= next * total) {
      cuts.push_back(CutBetween(column.values[v], column.values[v + 1]));
      while (next < bins && running * bins >= next * total) ++next;
    }
  }
  return cuts;
}

}  // namespace bnscore::learn
