#ifndef BNSCORE_LEARN_DISCRETIZER_H_
#define BNSCORE_LEARN_DISCRETIZER_H_

#include <cstddef>
#include <cstdint>
#include <vector>

namespace bnscore::learn {

// The distinct values of a numeric column in ascending order, each with
// the number of rows of every target class that hold it: counts is
// values.size() × classes, row-major.
struct ValueCounts {
  std::vector<double> values;
  std::vector<std::uint64_t> counts;
  std::size_t classes = 0;

  std::uint64_t Total(std::size_t value) const;
};

// Cut points, strictly ascending: bin i holds the values in
// (cuts[i-1], cuts[i]]. Every cut lies half-way between two adjacent
// distinct values (or on the lower one when the two are so close that the
// half-way number rounds to the upper), so it separates them.
//
// Supervised: recursive minimum-entropy splits, each kept only when its
// information gain passes the minimum-description-length test
// gain > (log2(N - 1) + log2(3^k - 2) - k·E + k1·E1 + k2·E2) / N
// (k, k1, k2 the classes present in the range and its two parts, E their
// entropies in bits). No cut when the first split fails.
std::vector<double> MdlCuts(const ValueCounts& column);
// `bins` bins of equal width between the smallest and the largest value,
// each cut moved to the half-way point of the distinct values around it;
// cuts that would leave a bin empty of distinct values are dropped.
std::vector<double> EqualWidthCuts(const ValueCounts& column, std::size_t bins);
// `bins` bins of about equal row counts: a cut after the distinct value at
// which the running count first reaches i·N/bins; duplicates dropped.
std::vector<double> EqualFrequencyCuts(const ValueCounts& column, std::size_t bins);

// The half-way cut between adjacent distinct values lower < upper.
double CutBetween(double lower, double upper);

}  // namespace bnscore::learn

#endif  // BNSCORE_LEARN_DISCRETIZER_H_
