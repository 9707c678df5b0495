#ifndef BNSCORE_LEARN_COLUMN_H_
#define BNSCORE_LEARN_COLUMN_H_

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "learn/Discretizer.h"

namespace bnscore::learn {

// Hash of strings that also takes string_views, so that cells are looked
// up without a copy.
struct TextHash {
  using is_transparent = void;
  std::size_t operator()(std::string_view text) const {
    return std::hash<std::string_view>{}(text);
  }
};
using TextIndex = std::unordered_map<std::string, std::uint32_t, TextHash, std::equal_to<>>;

// One column of the data, first profiled (one pass: is every value a
// number; its distinct texts up to a bound; for numbers, the distinct
// values with their counts per target class), then decided (categorical
// with sorted states, numeric with cut points, or dropped), then used to
// code cells into state numbers in later passes. Memory grows with the
// distinct values, not with the rows.
class Column {
 public:
  Column(std::string name, std::size_t maxTexts) : name_(std::move(name)), maxTexts_(maxTexts) {}

  const std::string& GetName() const { return name_; }

  // Profiling. `cls` is the row's target class (first-seen numbering), or
  // -1 when the row's target is missing; `classes` how many classes have
  // been seen so far. The cell is not missing.
  void Observe(std::string_view cell, int cls, std::size_t classes);
  // Profiling of the target column: its class for `cell` (numbered as first
  // seen); -1 when it has more than the bound.
  int ObserveClass(std::string_view cell);
  std::size_t GetNumTexts() const { return texts_.size(); }
  bool TooManyTexts() const { return textsOverflow_; }
  bool IsNumeric() const { return numeric_ && valueIndex_.size() > 0; }
  std::uint64_t GetObserved() const { return observed_; }

  // The numbers seen, ascending, with counts per class; `classOrder[c]` is
  // the final number of first-seen class c.
  ValueCounts GetValueCounts(const std::vector<std::size_t>& classOrder, std::size_t classes) const;

  // Decisions. Categorical: the distinct texts, sorted, become the states.
  // Numeric: the given cuts make the bins (named "(a,b]").
  // Returns the first-seen numbering → sorted state (for the target).
  std::vector<std::size_t> MakeCategorical();
  void MakeNumeric(std::vector<double> cuts);
  bool IsBinned() const { return binned_; }
  const std::vector<std::string>& GetStates() const { return states_; }
  const std::vector<double>& GetCuts() const { return cuts_; }

  // Coding after the decision: the state of a cell that is not missing, or
  // -1 for a text not among the states.
  int Code(std::string_view cell) const;

 private:
  std::string name_;
  std::size_t maxTexts_;
  std::uint64_t observed_ = 0;  // cells not missing
  // Distinct texts in first-seen order, up to maxTexts_ (+1 to tell that
  // there were more).
  TextIndex textIndex_;
  std::vector<std::string> texts_;
  bool textsOverflow_ = false;
  // While every value is a number: the distinct values and, per value,
  // counts of each class (stride_ entries per value, grown as classes
  // appear).
  bool numeric_ = true;
  std::unordered_map<double, std::uint32_t> valueIndex_;
  std::vector<double> values_;
  std::vector<std::uint64_t> classCounts_;
  std::size_t stride_ = 4;
  // After the decision.
  bool binned_ = false;
  std::vector<std::string> states_;
  std::vector<double> cuts_;
};

// Whether a cell is a missing value: empty or one of `tokens`.
bool IsMissingCell(std::string_view cell, const std::vector<std::string>& tokens);

}  // namespace bnscore::learn

#endif  // BNSCORE_LEARN_COLUMN_H_
