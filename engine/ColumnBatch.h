#ifndef BNSCORE_ENGINE_COLUMNBATCH_H_
#define BNSCORE_ENGINE_COLUMNBATCH_H_

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <span>
#include <vector>

#include "bnscore/bnscore.h"
#include "engine/FieldLayout.h"
#include "engine/ScoringSlot.h"

// One call of Model::Score: the caller's columns bound to the model's
// FieldLayout and its outputs, checked once. ScoreRows scores any range of
// rows with a slot, so that ranges can go to different threads.
//
// The constructor throws bnscore::Error when a column holds both numbers and
// texts, or neither while there are rows, has a length or a mask length
// other than `rows`, or names a field another column names too; or when an
// output has the wrong length. Columns the layout has no field for are
// ignored. Borrows everything; allocates only when constructed.
class ColumnBatch {
 public:
  ColumnBatch(const FieldLayout& layout, std::size_t categories,
              std::span<const bnscore::Column> columns, std::size_t rows,
              const bnscore::Outputs& outputs);

  std::size_t Rows() const { return rows_; }

  // Scores rows [begin, end) with `slot` into the outputs.
  void ScoreRows(ScoringSlot& slot, std::size_t begin, std::size_t end) const;

 private:
  // A column as the row loop reads it: plain pointers to its cells, so that
  // nothing about the column is looked up again per row.
  struct Bound {
    int position;               // in the layout
    const double* numbers;      // null for a column of texts
    const std::string_view* texts;  // null for a column of numbers
    const std::uint8_t* missing;    // null when the column has no mask
  };

  std::vector<Bound> bound_;
  std::size_t rows_;
  std::size_t categories_;
  bnscore::Outputs outputs_;
};

#endif  // BNSCORE_ENGINE_COLUMNBATCH_H_
