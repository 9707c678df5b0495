#include "engine/ColumnBatch.h"

#include <limits>
#include <string>

namespace bnscore::internal {

namespace {

// How many rows ahead the columns' cells are fetched into cache.
constexpr std::size_t kPrefetchRows = 16;

std::string Quoted(std::string_view name) { return "\"" + std::string(name) + "\""; }

// The fault of an array whose length is not the one expected. Callers
// compare the lengths first: the message is made only on a fault, since a
// lone record is scored with one call.
bnscore::Error LengthError(std::size_t size, std::size_t expected, const std::string& what) {
  return bnscore::Error(what + " has " + std::to_string(size) + " entries; expected " +
                        std::to_string(expected));
}

}  // namespace

ColumnBatch::ColumnBatch(const FieldLayout& layout, std::size_t categories,
                         std::span<const bnscore::Column> columns, std::size_t rows,
                         const bnscore::Outputs& outputs, const ColumnScoring* scoring,
                         const EvidenceInference::Options* evidence)
    : rows_(rows), categories_(categories), outputs_(outputs) {
  std::vector<char> taken(static_cast<std::size_t>(layout.Size()), 0);
  const std::vector<std::string>& names = layout.GetNames();
  int previous = -1;
  for (const bnscore::Column& column : columns) {
    auto what = [&column] { return "column " + Quoted(column.name); };
    if (!column.numbers.empty() && !column.texts.empty()) {
      throw bnscore::Error(what() + " holds both numbers and texts");
    }
    if (rows > 0 && column.numbers.empty() && column.texts.empty()) {
      throw bnscore::Error(what() + " holds no cells");
    }
    const std::size_t length = column.numbers.empty() ? column.texts.size() : column.numbers.size();
    if (length != rows) throw LengthError(length, rows, what());
    if (!column.missing.empty() && column.missing.size() != rows) {
      throw LengthError(column.missing.size(), rows, what() + "'s missing mask");
    }
    // Columns usually come in the layout's order: the field after the
    // last one found is tried before the search.
    const std::size_t next = static_cast<std::size_t>(previous + 1);
    const int position = next < names.size() && names[next] == column.name
                             ? static_cast<int>(next)
                             : layout.Find(column.name);
    if (position < 0) continue;
    previous = position;
    if (taken[static_cast<std::size_t>(position)] != 0) {
      throw bnscore::Error(what() + " is given twice");
    }
    taken[static_cast<std::size_t>(position)] = 1;
    bound_.push_back(Bound{position, column.numbers.empty() ? nullptr : column.numbers.data(),
                           column.numbers.empty() ? column.texts.data() : nullptr,
                           column.missing.empty() ? nullptr : column.missing.data()});
  }
  if (outputs.status.size() != rows) {
    throw LengthError(outputs.status.size(), rows, "the status output");
  }
  if (outputs.prediction.size() != rows) {
    throw LengthError(outputs.prediction.size(), rows, "the prediction output");
  }
  if (!outputs.confidence.empty() && outputs.confidence.size() != rows) {
    throw LengthError(outputs.confidence.size(), rows, "the confidence output");
  }
  if (!outputs.probabilities.empty() && outputs.probabilities.size() != rows * categories) {
    throw LengthError(outputs.probabilities.size(), rows * categories, "the probabilities output");
  }

  if (scoring == nullptr) return;
  cells_.resize(static_cast<std::size_t>(layout.Size()));
  for (std::size_t i = 0; i < cells_.size(); ++i) cells_[i].name = layout.GetNames()[i];
  for (const Bound& b : bound_) {
    // A number for a text field is read as its text, a text for a numeric
    // field as a CSV cell: only the record path does that.
    if ((b.numbers != nullptr) != layout.IsNumeric(b.position)) return;
    ColumnScoring::Column& cell = cells_[static_cast<std::size_t>(b.position)];
    cell.numbers = b.numbers;
    cell.texts = b.texts;
    cell.missing = b.missing;
  }
  boundCells_ = scoring->AcceptsColumns(cells_.data(), layout.Size(), evidence);
  if (boundCells_ == nullptr) return;
  scoring_ = scoring;
  cellOutputs_.status = outputs.status.data();
  cellOutputs_.prediction = outputs.prediction.data();
  cellOutputs_.confidence = outputs.confidence.empty() ? nullptr : outputs.confidence.data();
  cellOutputs_.probabilities =
      outputs.probabilities.empty() ? nullptr : outputs.probabilities.data();
}

void ColumnBatch::ScoreRows(ScoringSlot& slot, std::size_t begin, std::size_t end) const {
  // Per column, the text view the slot's field holds now (null data: none).
  // Text fields view the caller's texts rather than copy them; those do
  // not change during the call, so a row whose view is the very same (a
  // column of repeated categories often shares its texts) leaves the field
  // as it is.
  std::vector<std::string_view> held;
  bool recordUsed = false;
  for (std::size_t row = begin; row < end; ++row) {
    auto useRecord = [&] {
      if (!recordUsed) {  // the first row for the record path
        recordUsed = true;
        held.resize(bound_.size());
        slot.ClearAll();  // fields without a column stay missing
      }
    };
    if (scoring_ != nullptr) {
      row = scoring_->ScoreColumns(*boundCells_, row, end, cellOutputs_);
      if (row == end) break;
    }
    useRecord();
    ScoreRow(slot, row, end, held);
  }
  // The record views the caller's texts, which may go once the call returns.
  if (recordUsed) slot.ClearAll();
}

void ColumnBatch::ScoreRow(ScoringSlot& slot, std::size_t row, std::size_t end,
                           std::vector<std::string_view>& held) const {
  const std::size_t ahead = row + kPrefetchRows;
  for (std::size_t i = 0; i < bound_.size(); ++i) {
    const Bound& b = bound_[i];
    // Row by row, the columns are as many streams of memory as there are
    // columns, more than the processor follows by itself: ask for the
    // cells of a later row now, so that they are in cache by then.
    if (ahead < end) {
      if (b.numbers != nullptr) {
        __builtin_prefetch(b.numbers + ahead);
      } else {
        __builtin_prefetch(b.texts + ahead);
      }
    }
    if (b.missing != nullptr && b.missing[row] != 0) {
      slot.Clear(b.position);
      held[i] = std::string_view();
    } else if (b.numbers != nullptr) {
      slot.SetNumber(b.position, b.numbers[row]);
    } else {
      const std::string_view text = b.texts[row];
      const bool same = text.data() == held[i].data() && text.size() == held[i].size();
      if (same && text.data() != nullptr) continue;
      slot.SetTextView(b.position, text);
      held[i] = text;
    }
  }
  const bool probabilities = !outputs_.probabilities.empty();
  const bnscore::Outcome outcome =
      slot.Score(probabilities ? outputs_.probabilities.subspan(row * categories_, categories_)
                               : std::span<double>());
  outputs_.status[row] = outcome.status;
  outputs_.prediction[row] = outcome.prediction;
  if (!outputs_.confidence.empty()) outputs_.confidence[row] = outcome.confidence;
}

}  // namespace bnscore::internal
