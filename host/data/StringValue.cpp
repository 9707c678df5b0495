#include "host/data/StringValue.h"

#include "host/data/NumericValue.h"
#include "host/text/NumberText.h"

StringValue::StringValue(const char* text) : text_(text != nullptr ? text : "") {}

StringValue::StringValue(const std::string& text) : text_(text) {}

StringValue::~StringValue() = default;

ScoreValue* StringValue::Clone() const { return new StringValue(text_); }

bool StringValue::operator==(const ScoreValue& other) const { return TextEquals(text_, other); }

double StringValue::GetDouble() const { return TextToDouble(text_); }

bool StringValue::TextEquals(std::string_view text, const ScoreValue& other) {
  if (other.GetType() != String) return false;
  NumberTextBuffer buffer;
  return other.GetStringView(buffer) == text;
}

double StringValue::TextToDouble(std::string_view text) {
  double value = NumericValue::GetSysmisValue();
  ParseNumber(text, value);
  return value;
}
