#include "engine/RecordFiller.h"

#include <cmath>

#include "engine/DecimalText.h"
#include "host/data/NumericValue.h"
#include "host/data/TransformationDictionary.h"
#include "host/text/NumberText.h"

namespace bnscore::internal {

namespace {

bool IsNumericField(const ScoreDictionary* dictionary, const std::string& name) {
  if (dictionary == nullptr) return false;
  const ScoreDictVar* var = dictionary->GetVariable(name);
  return var != nullptr && var->GetValueType() == 0;
}

}  // namespace

std::vector<char> NumericColumns(const std::vector<std::string>& header, const ScoreModel& model,
                                 bool derivedInRecord) {
  const ScoreDictionary* data = model.GetDictionary();
  const ScoreDictionary* derived = derivedInRecord ? model.GetTransformationDictionary() : nullptr;
  std::vector<char> numeric(header.size(), 0);
  for (std::size_t i = 0; i < header.size(); ++i) {
    const std::string& name = header[i];
    // A name found in the data dictionary takes that field's type, even if
    // a derived field has the same name.
    const bool isNumber = data != nullptr && data->GetVariable(name) != nullptr
                              ? IsNumericField(data, name)
                              : IsNumericField(derived, name);
    numeric[i] = isNumber ? 1 : 0;
  }
  return numeric;
}

void FillRecord(const std::vector<std::string_view>& cells, const std::vector<char>& numeric,
                const NumberCellRules& rules, BaseCaseRecord& record) {
  const int n = record.GetNumFields();
  for (int i = 0; i < n; ++i) {
    FillField(cells[static_cast<std::size_t>(i)], numeric[static_cast<std::size_t>(i)] != 0, rules,
              i, record);
  }
}

CellError NotFiniteCell(const std::string& field, std::string_view cell) {
  return CellError(field, "column " + field + ": \"" + std::string(cell) +
                              "\" is not a finite number (add it to --missing-values, or pass "
                              "--allow-nonfinite)");
}

bnscore::NumberCellKind ReadNumberCell(std::string_view cell, const NumberCellRules& rules,
                                       double& value) {
  using bnscore::NumberCellKind;
  if (cell.empty()) return NumberCellKind::kMissing;
  if (rules.HasNumericMissingValue() && rules.IsMissingValue(cell)) return NumberCellKind::kMissing;
  if (ParsePlainDecimal(cell, value)) return NumberCellKind::kNumber;  // always finite
  if (rules.IsMissingValue(cell)) return NumberCellKind::kMissing;
  if (!ParseNumber(cell, value)) {
    value = NumericValue::GetSysmisValue();
    return NumberCellKind::kNotANumber;
  }
  if (std::isfinite(value) || rules.AllowsNonfinite()) return NumberCellKind::kNumber;
  return NumberCellKind::kNotFinite;
}

void FillField(std::string_view cell, bool numeric, const NumberCellRules& rules, int position,
               BaseCaseRecord& record) {
  if (cell.empty()) {
    record.ClearValue(position);
    return;
  }
  if (!numeric) {
    record.SetText(position, cell);
    return;
  }
  double value;
  switch (ReadNumberCell(cell, rules, value)) {
    case bnscore::NumberCellKind::kMissing:
      record.ClearValue(position);
      break;
    case bnscore::NumberCellKind::kNumber:
    case bnscore::NumberCellKind::kNotANumber:
      record.SetNumber(position, value);
      break;
    case bnscore::NumberCellKind::kNotFinite:
      throw NotFiniteCell(record.GetFieldName(position), cell);
  }
}

NumberCellRules::NumberCellRules(const std::vector<std::string>& missingValues, bool allowNonfinite)
    : missingValues_(missingValues), allowNonfinite_(allowNonfinite) {
  for (const std::string& missing : missingValues_) {
    if (missing.empty()) continue;  // the empty cell is missing anyway
    firstByte_[static_cast<unsigned char>(missing[0])] = true;
    // Cells that are no plain decimal are matched anyway before they are
    // parsed further.
    double number;
    if (ParsePlainDecimal(missing, number)) numericMissingValue_ = true;
  }
}

bool NumberCellRules::IsMissingValue(std::string_view cell) const {
  if (cell.empty()) return true;
  if (!firstByte_[static_cast<unsigned char>(cell[0])]) return false;
  for (const std::string& missing : missingValues_) {
    if (cell == missing) return true;
  }
  return false;
}

}  // namespace bnscore::internal
