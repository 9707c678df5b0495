#ifndef BNSCORE_ENGINE_STATUSREASON_H_
#define BNSCORE_ENGINE_STATUSREASON_H_

#include <string>
#include <string_view>
#include <vector>

#include "engine/FieldLayout.h"
#include "engine/RecordFiller.h"
#include "engine/ScoreOptions.h"
#include "host/data/TransformationDictionary.h"
#include "host/interfaces/ScoreDictVar.h"
#include "host/interfaces/ScoreDictionary.h"
#include "host/interfaces/ScoreModel.h"

namespace bnscore::internal {

// Says why a record got a non-zero status, from what the host interfaces
// tell of the model: its predictors (GetVarsOfRole) with their categories
// and declared missing values, and, when the records carry derived values
// or are read by name, the derived fields of its transformation dictionary
// that have a column. For status 90029 it
// names the first predictor, in dictionary order, whose cell gives it no
// usable value:
//   income: missing
//   income: missing (no such column)
//   income: not a number "abc"
//   employment: unknown category "retired"
// then, when the records do not carry derived values, the first derived
// field that the transformation dictionary computes no usable value for
// ("income_band: missing (derived)"); for 90021 it says "no category has a
// positive score".
//
// Explain is meant to be called only for records whose status is not 0,
// so that scored records cost nothing; it may allocate. Borrows the
// variables of the model's dictionaries, so the model must outlive this
// object. One object per thread.
class StatusReason {
 public:
  // `columnOf` gives each field of `layout` its column in the records (-1:
  // none), as FieldLayout::MapColumns does.
  StatusReason(const ScoreModel& model, const FieldLayout& layout, const std::vector<int>& columnOf,
               const ScoreOptions& options);
  ~StatusReason();

  StatusReason(const StatusReason&) = delete;
  StatusReason& operator=(const StatusReason&) = delete;

  // The reason for `status` of `record`, filled from `cells` (one per
  // header column); empty for status 0. Valid until the next call.
  std::string_view Explain(long status, const std::vector<std::string_view>& cells,
                           const ScoreCaseRecord& record);

 private:
  struct Field {
    const ScoreDictVar* var;
    int column;  // the header column of the field, -1 when there is none
    // An empty cell leaves the value to the transformation dictionary (a
    // derived field given by records read by name).
    bool emptyIsComputed;
  };

  // Sets text_ to what keeps `field` from a usable value; false when its
  // cell gives one.
  bool FindFault(const Field& field, const std::vector<std::string_view>& cells);
  bool FindNumberFault(const ScoreDictVar& var, std::string_view cell);
  bool FindTextFault(const ScoreDictVar& var, std::string_view cell);
  // Sets text_ for the first derived field computed from `record` without
  // a usable value; false when there is none.
  bool FindDerivedFault(const ScoreCaseRecord& record);

  std::vector<Field> fields_;  // the predictors, then derived fields in the record
  NumberCellRules rules_;
  const ScoreDictionary* data_;
  TransformationDictionary* computed_;  // null when the records carry derived values
  std::string text_;
};

}  // namespace bnscore::internal

#endif  // BNSCORE_ENGINE_STATUSREASON_H_
