#ifndef BNSCORE_ENGINE_RECORDFILLER_H_
#define BNSCORE_ENGINE_RECORDFILLER_H_

#include <string>
#include <string_view>
#include <vector>

#include "bnscore/NumberCellReader.h"
#include "engine/EngineError.h"
#include "host/data/BaseCaseRecord.h"
#include "host/interfaces/ScoreModel.h"

namespace bnscore::internal {

// A cell that cannot become a record value: the public bnscore::CellError,
// whose message names the column and the cell; the caller adds the place
// in the input.
using bnscore::CellError;

// How the cells of numeric columns become numbers: the texts that stand for
// a missing value besides the empty cell, and whether a number that is not
// finite ("inf", "nan" when not a missing value) is kept or refused.
// Matching a cell allocates nothing; most cells are rejected by their first
// byte.
class NumberCellRules {
 public:
  NumberCellRules(const std::vector<std::string>& missingValues, bool allowNonfinite);

  // True when `cell` is empty or one of the missing values.
  bool IsMissingValue(std::string_view cell) const;
  // True when some missing value is a plain decimal ("-999"), so cells must
  // be matched before they are parsed.
  bool HasNumericMissingValue() const { return numericMissingValue_; }
  bool AllowsNonfinite() const { return allowNonfinite_; }

 private:
  std::vector<std::string> missingValues_;
  bool firstByte_[256] = {};  // the first bytes of the missing values
  bool numericMissingValue_ = false;
  bool allowNonfinite_;
};

// How CSV cells become the values of a case record.
//
// Whether a column holds numbers is decided once, from the header: a column
// named after a numeric (value type 0) field of the model's data dictionary
// (or, when the records carry derived values, of its transformation
// dictionary) gets numbers. There an empty cell and a missing value of the
// rules hold no value, a number that is not finite is refused (CellError)
// unless the rules allow it, and other text that is not a number gives the
// system-missing value. Every other column gets texts; an empty cell holds
// no value. Filling allocates nothing once each field has held a value.
// NumericColumns: per column of `header`, 1 when it holds numbers.
// FillRecord: sets `record`'s fields from `cells`, one per field, typed by
// `numeric`.
std::vector<char> NumericColumns(const std::vector<std::string>& header, const ScoreModel& model,
                                 bool derivedInRecord);
void FillRecord(const std::vector<std::string_view>& cells, const std::vector<char>& numeric,
                const NumberCellRules& rules, BaseCaseRecord& record);
// What a cell of a numeric column gives, as FillField reads it: kMissing
// for an empty cell or a missing value of the rules; kNumber with `value`
// for a number (a non-finite one too when the rules allow it);
// kNotANumber, with the system-missing value, for other text; kNotFinite,
// with `value`, for a number that is not finite when the rules do not
// allow it.
bnscore::NumberCellKind ReadNumberCell(std::string_view cell, const NumberCellRules& rules,
                                       double& value);
// The fault of a numeric cell that holds a number that is not finite when
// the rules do not allow it: "column F: "inf" is not a finite number ...".
CellError NotFiniteCell(const std::string& field, std::string_view cell);
// Sets the field at `position` from one cell as FillRecord does.
void FillField(std::string_view cell, bool numeric, const NumberCellRules& rules, int position,
               BaseCaseRecord& record);

}  // namespace bnscore::internal

#endif  // BNSCORE_ENGINE_RECORDFILLER_H_
