#include "host/TextViewValue.h"

#include "host/NumberText.h"
#include "host/NumericValue.h"
#include "host/StringValue.h"

TextViewValue::~TextViewValue() = default;

ScoreValue* TextViewValue::Clone() const { return new StringValue(std::string(text_)); }

bool TextViewValue::operator==(const ScoreValue& other) const {
  if (other.GetType() != String) return false;
  NumberTextBuffer buffer;
  return other.GetStringView(buffer) == text_;
}

double TextViewValue::GetDouble() const {
  double value = NumericValue::GetSysmisValue();
  ParseNumber(text_, value);
  return value;
}
