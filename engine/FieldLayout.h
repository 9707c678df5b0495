#ifndef BNSCORE_ENGINE_FIELDLAYOUT_H_
#define BNSCORE_ENGINE_FIELDLAYOUT_H_

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "host/interfaces/ScoreModel.h"

namespace bnscore::internal {

// The one record layout a loaded model is scored with: every field the
// model may read, in a fixed order, each with the kind of cell it takes.
//
// The fields are those of the model's data dictionary but the target (the
// predictors and the inputs of its derived fields), then, when the records
// carry the derived values or are read by name, the transformation
// dictionary's fields whose names the data dictionary does not use (read by
// name, the model asks a record for a derived predictor first and computes
// it only when the record has none), then the target (a target that is also
// an active field is a predictor, read from the record like any other; the
// model asks for it only then). A field is numeric exactly when
// bnscore reads a CSV column of that name as numbers (NumericColumns).
// The predictors (the fields of input role, which records must carry) are
// marked.
//
// The model stores record positions on the first indexed record it scores,
// so every record of one model must have this layout; callers map their own
// columns or names onto it with Find, once per batch. Immutable.
class FieldLayout {
 public:
  FieldLayout(const ScoreModel& model, bool derivedInRecord, bool byName);
  // The name index holds views of the names: no copies.
  FieldLayout(const FieldLayout&) = delete;
  FieldLayout& operator=(const FieldLayout&) = delete;

  int Size() const { return static_cast<int>(names_.size()); }
  const std::vector<std::string>& GetNames() const { return names_; }
  bool IsNumeric(int position) const { return numeric_[static_cast<std::size_t>(position)] != 0; }
  const std::vector<char>& GetNumeric() const { return numeric_; }
  bool IsPredictor(int position) const {
    return predictor_[static_cast<std::size_t>(position)] != 0;
  }
  // The predictors' names, in layout (data dictionary) order.
  std::vector<std::string> GetPredictorNames() const;
  // The predictors that have no column in `columnOf` (what MapColumns
  // gave), in layout order.
  std::vector<std::string> GetMissingPredictors(const std::vector<int>& columnOf) const;
  // The position of field `name`, or -1 when the layout has none.
  int Find(std::string_view name) const;
  // For each field, the index of the first of `columns` named after it, or
  // -1 when none is.
  std::vector<int> MapColumns(const std::vector<std::string>& columns) const;

 private:
  std::vector<std::string> names_;
  std::vector<char> numeric_;                             // per field: 1 for numbers
  std::vector<char> predictor_;                           // per field: 1 for a predictor
  std::vector<std::pair<std::string_view, int>> byName_;  // sorted by name
};

}  // namespace bnscore::internal

#endif  // BNSCORE_ENGINE_FIELDLAYOUT_H_
