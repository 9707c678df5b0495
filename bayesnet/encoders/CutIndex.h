#ifndef BAYESNET_CUTINDEX_H_
#define BAYESNET_CUTINDEX_H_

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "bayesnet/encoders/CountBelow.h"

// Counts the cut points below a number, as CountBelow does, for cut points
// that ascend strictly and hold no NaN, starting from a guess: the span
// from the first cut point to the last is cut into equal buckets, each
// holding the count below its start, and the count is then corrected by
// stepping over the cut points between guess and number. The answer is
// exact whatever the guess; only the steps depend on how evenly the cut
// points are spread.
//
// Copies the cut points. Immutable after construction.
class CutIndex {
 public:
  CutIndex() = default;
  explicit CutIndex(const std::vector<double>& cuts) : cuts_(cuts) {
    const std::size_t n = cuts_.size();
    if (n < 4) return;
    const double span = cuts_.back() - cuts_.front();
    std::size_t buckets = 1;
    while (buckets < 2 * n) buckets *= 2;
    const double scale = static_cast<double>(buckets) / span;
    if (!std::isfinite(span) || !(span > 0.0) || !std::isfinite(scale) || !(scale > 0.0)) return;
    lowest_ = cuts_.front();
    scale_ = scale;
    last_ = static_cast<double>(buckets - 1);
    starts_.resize(buckets);
    for (std::size_t b = 0; b < buckets; ++b) {
      const double start = lowest_ + static_cast<double>(b) / scale_;
      starts_[b] = static_cast<std::uint32_t>(std::lower_bound(cuts_.begin(), cuts_.end(), start) -
                                              cuts_.begin());
    }
  }

  // The index's numbers, copied out so that a loop keeps them in
  // registers. Points into the index.
  struct View {
    const double* cuts;
    std::size_t n;
    const std::uint32_t* starts;  // null: CountBelow
    double lowest;
    double scale;
    double last;

    // The number of cut points below x (operator<), x not a NaN.
    std::size_t Count(double x) const {
      if (starts == nullptr) return CountBelow(cuts, n, x);
      double t = (x - lowest) * scale;
      t = t > 0.0 ? t : 0.0;
      t = t < last ? t : last;
      std::size_t i = starts[static_cast<std::size_t>(t)];
      while (i < n && cuts[i] < x) ++i;
      while (i > 0 && !(cuts[i - 1] < x)) --i;
      return i;
    }
  };
  View Viewed() const {
    return View{cuts_.data(), cuts_.size(), starts_.empty() ? nullptr : starts_.data(),
                lowest_,      scale_,       last_};
  }

  // The number of cut points below x (operator<), x not a NaN.
  std::size_t Count(double x) const { return Viewed().Count(x); }

 private:
  std::vector<double> cuts_;
  std::vector<std::uint32_t> starts_;  // per bucket; empty: CountBelow
  double lowest_ = 0.0;
  double scale_ = 0.0;
  double last_ = 0.0;  // the last bucket, as a double
};

#endif  // BAYESNET_CUTINDEX_H_
