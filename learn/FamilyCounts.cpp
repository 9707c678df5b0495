#include "learn/FamilyCounts.h"

#include <algorithm>

#include "bnscore/bnscore.h"

namespace bnscore::learn {

FamilyCounts::FamilyCounts(std::vector<std::size_t> variables,
                           const std::vector<std::size_t>& cardinalities)
    : variables_(std::move(variables)) {
  constexpr std::size_t kMaxCells = std::size_t{1} << 27;
  sizes_.resize(variables_.size());
  strides_.resize(variables_.size());
  std::size_t cells = 1;
  for (std::size_t j = variables_.size(); j-- > 0;) {
    sizes_[j] = cardinalities[variables_[j]];
    strides_[j] = cells;
    if (sizes_[j] != 0 && cells > kMaxCells / sizes_[j]) {
      throw Error("a table of more than 2^27 cells would be needed: fewer categories or parents");
    }
    cells *= sizes_[j];
  }
  counts_.assign(cells, 0);
}

FamilyCounts FamilyCounts::Project(const std::vector<std::size_t>& variables,
                                   const std::vector<std::size_t>& cardinalities) const {
  FamilyCounts result(variables, cardinalities);
  // Where each of this table's variables goes in the result (stride 0: summed).
  std::vector<std::size_t> strideIn(variables_.size(), 0);
  for (std::size_t j = 0; j < variables.size(); ++j) {
    const auto at = std::find(variables_.begin(), variables_.end(), variables[j]);
    strideIn[static_cast<std::size_t>(at - variables_.begin())] = result.strides_[j];
  }
  std::vector<std::size_t> code(variables_.size(), 0);
  for (std::size_t cell = 0; cell < counts_.size(); ++cell) {
    std::size_t target = 0;
    for (std::size_t j = 0; j < code.size(); ++j) target += code[j] * strideIn[j];
    result.counts_[target] += counts_[cell];
    for (std::size_t j = code.size(); j-- > 0;) {
      if (++code[j] < sizes_[j]) break;
      code[j] = 0;
    }
  }
  return result;
}

}  // namespace bnscore::learn
