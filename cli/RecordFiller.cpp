#include "cli/RecordFiller.h"

#include "cli/DecimalText.h"
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

RecordFiller::RecordFiller(const std::vector<std::string>& header, const ScoreModel& model,
                           bool derivedInRecord, bool indexed)
    : record_(header, indexed), numeric_(header.size(), 0) {
  const ScoreDictionary* data = model.GetDictionary();
  const ScoreDictionary* derived = derivedInRecord ? model.GetTransformationDictionary() : nullptr;
  for (std::size_t i = 0; i < header.size(); ++i) {
    const std::string& name = header[i];
    // A name found in the data dictionary takes that field's type, even if
    // a derived field has the same name.
    bool numeric = data != nullptr && data->GetVariable(name) != nullptr
                       ? IsNumericField(data, name)
                       : IsNumericField(derived, name);
    numeric_[i] = numeric ? 1 : 0;
  }
}

void RecordFiller::Fill(const std::vector<std::string_view>& cells) {
  const int n = record_.GetNumFields();
  for (int i = 0; i < n; ++i) {
    std::string_view cell = cells[static_cast<std::size_t>(i)];
    if (cell.empty()) {
      record_.ClearValue(i);
    } else if (numeric_[static_cast<std::size_t>(i)] != 0) {
      double value;
      if (!ParsePlainDecimal(cell, value) && !ParseNumber(cell, value)) {
        value = NumericValue::GetSysmisValue();
      }
      record_.SetNumber(i, value);
    } else {
      record_.SetText(i, cell);
    }
  }
}
