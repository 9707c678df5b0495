#ifndef BNSCORE_ENGINE_COLUMNBATCH_H_
#define BNSCORE_ENGINE_COLUMNBATCH_H_

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>
#include <span>
#include <vector>

#include "bnscore/bnscore.h"
#include "engine/FieldLayout.h"
#include "engine/ScoringSlot.h"
#include "host/interfaces/ColumnScoring.h"
#include "host/interfaces/EvidenceInference.h"

namespace bnscore::internal {

// One call of Model::Score: the caller's columns bound to the model's
// FieldLayout and its outputs, checked once. ScoreRows scores any range of
// rows with a slot, so that ranges can go to different threads.
//
// The constructor throws bnscore::Error when a column holds both numbers and
// texts, or neither while there are rows, has a length or a mask length
// other than `rows`, or names a field another column names too; or when an
// output has the wrong length. Columns the layout has no field for are
// ignored. Borrows everything; allocates only when constructed.
//
// When `scoring` is not null (the model's own column scoring, for records
// of `layout`, whose categories are the result reader's) and accepts the
// columns as they are (numbers for numeric fields, texts for the others),
// bound once for the batch, rows go through it; the rows it leaves, and
// every row otherwise, are filled into the slot's record and scored
// through the slot. `evidence` (not null when the slots sum gaps out) is
// what the column scoring is bound with, so that it scores rows with gaps
// as the slots do.
class ColumnBatch {
 public:
  ColumnBatch(const FieldLayout& layout, std::size_t categories,
              std::span<const bnscore::Column> columns, std::size_t rows,
              const bnscore::Outputs& outputs, const ColumnScoring* scoring,
              const EvidenceInference::Options* evidence = nullptr);

  std::size_t Rows() const { return rows_; }

  // Scores rows [begin, end) with `slot` into the outputs.
  void ScoreRows(ScoringSlot& slot, std::size_t begin, std::size_t end) const;

 private:
  // A column as the row loop reads it: plain pointers to its cells, so that
  // nothing about the column is looked up again per row.
  struct Bound {
    int position;                   // in the layout
    const double* numbers;          // null for a column of texts
    const std::string_view* texts;  // null for a column of numbers
    const std::uint8_t* missing;    // null when the column has no mask
  };

  // Fills `row` into the slot's record and scores it; held[i] is the text
  // view bound_[i]'s field holds (null data: none).
  void ScoreRow(ScoringSlot& slot, std::size_t row, std::size_t end,
                std::vector<std::string_view>& held) const;

  std::vector<Bound> bound_;
  // The model's column scoring, the columns by layout position and the
  // handle it bound them to, when it accepted them; null otherwise. The
  // handle points into cells_ (declared after it, so it goes first).
  const ColumnScoring* scoring_ = nullptr;
  std::vector<ColumnScoring::Column> cells_;
  std::unique_ptr<ColumnScoring::BoundColumns> boundCells_;
  ColumnScoring::Outputs cellOutputs_;
  std::size_t rows_;
  std::size_t categories_;
  bnscore::Outputs outputs_;
};

}  // namespace bnscore::internal

#endif  // BNSCORE_ENGINE_COLUMNBATCH_H_
