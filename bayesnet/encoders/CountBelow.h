#ifndef BAYESNET_COUNTBELOW_H_
#define BAYESNET_COUNTBELOW_H_

#include <cstddef>

// The number of entries of sorted[0 .. n-1] that are below x (operator<),
// for entries that ascend strictly and hold no NaN; it is then the
// position of the first entry not below x. Branch-free, because with
// random lookups a binary search's branches are mispredicted half the time:
// a plain count for a few entries, a halving search for more. A NaN x is
// below nothing and counts 0.
inline std::size_t CountBelow(const double* sorted, std::size_t n, double x) {
  constexpr std::size_t kCountLimit = 2;
  if (n <= kCountLimit) {
    std::size_t below = 0;
    for (std::size_t i = 0; i < n; ++i) below += sorted[i] < x ? 1 : 0;
    return below;
  }
  const double* base = sorted;
  while (n > 1) {
    const std::size_t half = n / 2;
    base = base[half] < x ? base + half : base;
    n -= half;
  }
  return static_cast<std::size_t>(base - sorted) + (*base < x ? 1 : 0);
}

#endif  // BAYESNET_COUNTBELOW_H_
