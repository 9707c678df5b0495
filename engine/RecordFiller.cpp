#include "engine/RecordFiller.h"

#include <cmath>
#include <memory>

#include "engine/DecimalText.h"
#include "host/NumberText.h"
#include "host/NumericValue.h"
#include "host/TransformationDictionary.h"

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
  const bool matchBeforeParsing = rules.HasNumericMissingValue();
  for (int i = 0; i < n; ++i) {
    std::string_view cell = cells[static_cast<std::size_t>(i)];
    if (cell.empty()) {
      record.ClearValue(i);
    } else if (numeric[static_cast<std::size_t>(i)] != 0) {
      double value;
      if (matchBeforeParsing && rules.IsMissingValue(cell)) {
        record.ClearValue(i);
      } else if (ParsePlainDecimal(cell, value)) {
        record.SetNumber(i, value);  // plain decimals are always finite
      } else if (rules.IsMissingValue(cell)) {
        record.ClearValue(i);
      } else if (!ParseNumber(cell, value)) {
        record.SetNumber(i, NumericValue::GetSysmisValue());
      } else if (std::isfinite(value) || rules.AllowsNonfinite()) {
        record.SetNumber(i, value);
      } else {
        throw CellError("column " + record.GetFieldName(i) + ": \"" + std::string(cell) +
                        "\" is not a finite number (add it to --missing-values, or pass "
                        "--allow-nonfinite)");
      }
    } else {
      record.SetText(i, cell);
    }
  }
}

NumberCellRules::NumberCellRules(const std::vector<std::string>& missingValues,
                                 bool allowNonfinite)
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

std::vector<std::string> PredictorColumns(const ScoreModel& model) {
  // GetVarsOfRole makes a new dictionary (or none) that the caller owns.
  std::unique_ptr<ScoreDictionary> inputs(model.GetVarsOfRole(ScoreModel::InputRole));
  std::vector<ScoreDictVar*> vars;
  if (inputs) inputs->GetVariables(vars);
  std::vector<std::string> names;
  for (const ScoreDictVar* var : vars) names.push_back(var->GetName());
  return names;
}

std::vector<std::string> MissingPredictorColumns(const std::vector<std::string>& header,
                                                 const ScoreModel& model) {
  std::vector<std::string> missing;
  for (const std::string& name : PredictorColumns(model)) {
    bool found = false;
    for (const std::string& column : header) found = found || column == name;
    if (!found) missing.push_back(name);
  }
  return missing;
}

RecordFiller::RecordFiller(const std::vector<std::string>& header, const ScoreModel& model,
                           bool derivedInRecord, bool indexed, const NumberCellRules& rules)
    : record_(header, indexed),
      numeric_(NumericColumns(header, model, derivedInRecord)),
      rules_(rules) {}
