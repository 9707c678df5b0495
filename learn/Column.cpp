#include "learn/Column.h"

#include <algorithm>
#include <cmath>
#include <numeric>

#include "formats/Decimal.h"

namespace bnscore::learn {

bool IsMissingCell(std::string_view cell, const std::vector<std::string>& tokens) {
  if (cell.empty()) return true;
  for (const std::string& token : tokens) {
    if (cell == token) return true;
  }
  return false;
}

namespace {

// A finite number, or nothing.
bool ReadNumber(std::string_view cell, double& value) {
  const std::optional<double> number = formats::ParseDecimal(cell);
  if (!number || !std::isfinite(*number)) return false;
  value = *number == 0.0 ? 0.0 : *number;  // -0 and 0 are one value
  return true;
}

std::string BinName(const std::vector<double>& cuts, std::size_t bin) {
  std::string name = "(";
  if (bin == 0) {
    name += "-inf";
  } else {
    formats::AppendDecimal(cuts[bin - 1], name);
  }
  name += ',';
  if (bin == cuts.size()) {
    name += "inf)";
  } else {
    formats::AppendDecimal(cuts[bin], name);
    name += ']';
  }
  return name;
}

}  // namespace

void Column::Observe(std::string_view cell, int cls, std::size_t classes) {
  ++observed_;
  if (!textsOverflow_ && textIndex_.find(cell) == textIndex_.end()) {
    if (texts_.size() >= maxTexts_) {
      textsOverflow_ = true;
      textIndex_.clear();
      texts_.clear();
      texts_.shrink_to_fit();
    } else {
      textIndex_.emplace(std::string(cell), static_cast<std::uint32_t>(texts_.size()));
      texts_.emplace_back(cell);
    }
  }
  if (!numeric_) return;
  double value = 0.0;
  if (!ReadNumber(cell, value)) {
    numeric_ = false;
    valueIndex_.clear();
    values_.clear();
    values_.shrink_to_fit();
    classCounts_.clear();
    classCounts_.shrink_to_fit();
    return;
  }
  if (classes > stride_) {  // re-lay the counts out with room for more classes
    std::size_t stride = stride_;
    while (stride < classes) stride *= 2;
    std::vector<std::uint64_t> counts(values_.size() * stride, 0);
    for (std::size_t v = 0; v < values_.size(); ++v) {
      std::copy_n(classCounts_.begin() + static_cast<long>(v * stride_), stride_,
                  counts.begin() + static_cast<long>(v * stride));
    }
    classCounts_.swap(counts);
    stride_ = stride;
  }
  const auto [at, added] =
      valueIndex_.try_emplace(value, static_cast<std::uint32_t>(values_.size()));
  if (added) {
    values_.push_back(value);
    classCounts_.resize(classCounts_.size() + stride_, 0);
  }
  if (cls >= 0) ++classCounts_[at->second * stride_ + static_cast<std::size_t>(cls)];
}

int Column::ObserveClass(std::string_view cell) {
  ++observed_;
  const auto found = textIndex_.find(cell);
  if (found != textIndex_.end()) return static_cast<int>(found->second);
  if (texts_.size() >= maxTexts_) {
    textsOverflow_ = true;
    return -1;
  }
  textIndex_.emplace(std::string(cell), static_cast<std::uint32_t>(texts_.size()));
  texts_.emplace_back(cell);
  return static_cast<int>(texts_.size() - 1);
}

ValueCounts Column::GetValueCounts(const std::vector<std::size_t>& classOrder,
                                   std::size_t classes) const {
  ValueCounts column;
  column.classes = classes;
  std::vector<std::size_t> order(values_.size());
  std::iota(order.begin(), order.end(), 0);
  std::sort(order.begin(), order.end(),
            [this](std::size_t a, std::size_t b) { return values_[a] < values_[b]; });
  column.values.reserve(order.size());
  column.counts.assign(order.size() * classes, 0);
  for (std::size_t i = 0; i < order.size(); ++i) {
    column.values.push_back(values_[order[i]]);
    for (std::size_t c = 0; c < classes && c < stride_; ++c) {
      column.counts[i * classes + classOrder[c]] = classCounts_[order[i] * stride_ + c];
    }
  }
  return column;
}

std::vector<std::size_t> Column::MakeCategorical() {
  std::vector<std::size_t> order(texts_.size());
  std::iota(order.begin(), order.end(), 0);
  std::sort(order.begin(), order.end(),
            [this](std::size_t a, std::size_t b) { return texts_[a] < texts_[b]; });
  std::vector<std::size_t> rank(texts_.size());
  states_.clear();
  for (std::size_t i = 0; i < order.size(); ++i) {
    rank[order[i]] = i;
    states_.push_back(texts_[order[i]]);
  }
  textIndex_.clear();
  for (std::size_t i = 0; i < states_.size(); ++i) {
    textIndex_.emplace(states_[i], static_cast<std::uint32_t>(i));
  }
  binned_ = false;
  // The profile's numbers are no longer needed.
  valueIndex_ = {};
  values_ = {};
  classCounts_ = {};
  return rank;
}

void Column::MakeNumeric(std::vector<double> cuts) {
  cuts_ = std::move(cuts);
  binned_ = true;
  states_.clear();
  for (std::size_t bin = 0; bin <= cuts_.size(); ++bin) states_.push_back(BinName(cuts_, bin));
  textIndex_ = {};
  texts_ = {};
  valueIndex_ = {};
  values_ = {};
  classCounts_ = {};
}

int Column::Code(std::string_view cell) const {
  if (binned_) {
    double value = 0.0;
    if (!ReadNumber(cell, value)) return -1;
    return static_cast<int>(std::lower_bound(cuts_.begin(), cuts_.end(), value) - cuts_.begin());
  }
  const auto found = textIndex_.find(cell);
  return found == textIndex_.end() ? -1 : static_cast<int>(found->second);
}

}  // namespace bnscore::learn
