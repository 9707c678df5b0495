#ifndef BNSCORE_LEARN_FAMILYCOUNTS_H_
#define BNSCORE_LEARN_FAMILYCOUNTS_H_

#include <cstddef>
#include <cstdint>
#include <vector>

namespace bnscore::learn {

// A dense contingency table of a set of variables: the number of rows per
// joint configuration of their states, the first variable varying slowest.
// Rows in which any of the variables is missing (code -1) are not counted.
class FamilyCounts {
 public:
  // `variables` index the coded row; `cardinalities` holds every
  // variable's number of states (indexed like the row).
  FamilyCounts(std::vector<std::size_t> variables, const std::vector<std::size_t>& cardinalities);

  void Add(const std::vector<int>& codes) {
    std::size_t cell = 0;
    for (std::size_t j = 0; j < variables_.size(); ++j) {
      const int code = codes[variables_[j]];
      if (code < 0) return;
      cell += static_cast<std::size_t>(code) * strides_[j];
    }
    ++counts_[cell];
  }

  const std::vector<std::size_t>& GetVariables() const { return variables_; }
  const std::vector<std::uint64_t>& GetCounts() const { return counts_; }
  std::size_t GetSize(std::size_t j) const { return sizes_[j]; }

  // The counts of `variables` (a subset of this table's, in any order),
  // summed over the others.
  FamilyCounts Project(const std::vector<std::size_t>& variables,
                       const std::vector<std::size_t>& cardinalities) const;

 private:
  std::vector<std::size_t> variables_;
  std::vector<std::size_t> sizes_;
  std::vector<std::size_t> strides_;
  std::vector<std::uint64_t> counts_;
};

}  // namespace bnscore::learn

#endif  // BNSCORE_LEARN_FAMILYCOUNTS_H_
