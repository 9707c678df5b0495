#include "engine/ColumnBatch.h"

#include <limits>
#include <string>

namespace {

std::string Quoted(std::string_view name) { return "\"" + std::string(name) + "\""; }

void CheckLength(std::size_t size, std::size_t expected, const std::string& what) {
  if (size != expected) {
    throw bnscore::Error(what + " has " + std::to_string(size) + " entries; expected " +
                         std::to_string(expected));
  }
}

}  // namespace

ColumnBatch::ColumnBatch(const FieldLayout& layout, std::size_t categories,
                         std::span<const bnscore::Column> columns, std::size_t rows,
                         const bnscore::Outputs& outputs)
    : rows_(rows), categories_(categories), outputs_(outputs) {
  std::vector<char> taken(static_cast<std::size_t>(layout.Size()), 0);
  for (const bnscore::Column& column : columns) {
    const std::string what = "column " + Quoted(column.name);
    if (!column.numbers.empty() && !column.texts.empty()) {
      throw bnscore::Error(what + " holds both numbers and texts");
    }
    if (rows > 0 && column.numbers.empty() && column.texts.empty()) {
      throw bnscore::Error(what + " holds no cells");
    }
    CheckLength(column.numbers.empty() ? column.texts.size() : column.numbers.size(), rows, what);
    if (!column.missing.empty()) CheckLength(column.missing.size(), rows, what + "'s missing mask");
    const int position = layout.Find(column.name);
    if (position < 0) continue;
    if (taken[static_cast<std::size_t>(position)] != 0) {
      throw bnscore::Error(what + " is given twice");
    }
    taken[static_cast<std::size_t>(position)] = 1;
    bound_.push_back(Bound{position, &column});
  }
  CheckLength(outputs.status.size(), rows, "the status output");
  CheckLength(outputs.prediction.size(), rows, "the prediction output");
  if (!outputs.confidence.empty()) CheckLength(outputs.confidence.size(), rows, "the confidence output");
  if (!outputs.probabilities.empty()) {
    CheckLength(outputs.probabilities.size(), rows * categories, "the probabilities output");
  }
}

void ColumnBatch::ScoreRows(ScoringSlot& slot, std::size_t begin, std::size_t end) const {
  // Fields without a column stay missing.
  slot.ClearAll();
  const bool probabilities = !outputs_.probabilities.empty();
  for (std::size_t row = begin; row < end; ++row) {
    for (const Bound& b : bound_) {
      const bnscore::Column& column = *b.column;
      if (!column.missing.empty() && column.missing[row] != 0) {
        slot.Clear(b.position);
      } else if (!column.numbers.empty()) {
        slot.SetNumber(b.position, column.numbers[row]);
      } else {
        slot.SetText(b.position, column.texts[row]);
      }
    }
    const bnscore::Outcome outcome =
        slot.Score(probabilities ? outputs_.probabilities.subspan(row * categories_, categories_)
                                 : std::span<double>());
    outputs_.status[row] = outcome.status;
    outputs_.prediction[row] = outcome.prediction;
    if (!outputs_.confidence.empty()) outputs_.confidence[row] = outcome.confidence;
  }
}
