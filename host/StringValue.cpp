#include "host/StringValue.h"

#include "host/NumberText.h"
#include "host/NumericValue.h"

StringValue::StringValue(const char* text) : text_(text != nullptr ? text : "") {}

StringValue::StringValue(const std::string& text) : text_(text) {}

StringValue::~StringValue() = default;

ScoreValue* StringValue::Clone() const { return new StringValue(text_); }

bool StringValue::operator==(const ScoreValue& other) const {
  if (other.GetType() != String) return false;
  NumberTextBuffer buffer;
  return other.GetStringView(buffer) == text_;
}

double StringValue::GetDouble() const {
  double value = NumericValue::GetSysmisValue();
  ParseNumber(text_, value);
  return value;
}
