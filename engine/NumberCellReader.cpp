#include "bnscore/NumberCellReader.h"

#include <cmath>

#include "engine/DecimalText.h"
#include "engine/RecordFiller.h"
#include "host/text/NumberText.h"

namespace bnscore {

struct NumberCellReader::Impl {
  NumberCellRules rules;
};

NumberCellReader::NumberCellReader(const std::vector<std::string>& missingValues)
    : impl_(std::make_unique<Impl>(Impl{NumberCellRules(missingValues, false)})) {}

NumberCellReader::~NumberCellReader() = default;

// The order of the tests is FillField's, which fills the records of a CSV.
NumberCellKind NumberCellReader::Read(std::string_view cell, double& value) const {
  const NumberCellRules& rules = impl_->rules;
  if (cell.empty()) return NumberCellKind::kMissing;
  if (rules.HasNumericMissingValue() && rules.IsMissingValue(cell)) return NumberCellKind::kMissing;
  if (ParsePlainDecimal(cell, value)) return NumberCellKind::kNumber;
  if (rules.IsMissingValue(cell)) return NumberCellKind::kMissing;
  double parsed;
  if (!ParseNumber(cell, parsed)) return NumberCellKind::kNotANumber;
  value = parsed;
  return std::isfinite(parsed) ? NumberCellKind::kNumber : NumberCellKind::kNotFinite;
}

}  // namespace bnscore
