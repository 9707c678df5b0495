#include "engine/RecordFiller.h"

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
                BaseCaseRecord& record) {
  const int n = record.GetNumFields();
  for (int i = 0; i < n; ++i) {
    FillField(cells[static_cast<std::size_t>(i)], numeric[static_cast<std::size_t>(i)] != 0, i,
              record);
  }
}

void FillField(std::string_view cell, bool numeric, int position, BaseCaseRecord& record) {
  if (cell.empty()) {
    record.ClearValue(position);
  } else if (numeric) {
    double value;
    if (!ParsePlainDecimal(cell, value) && !ParseNumber(cell, value)) {
      value = NumericValue::GetSysmisValue();
    }
    record.SetNumber(position, value);
  } else {
    record.SetText(position, cell);
  }
}

RecordFiller::RecordFiller(const std::vector<std::string>& header, const ScoreModel& model,
                           bool derivedInRecord, bool indexed)
    : record_(header, indexed), numeric_(NumericColumns(header, model, derivedInRecord)) {}
