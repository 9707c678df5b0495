#include "host/data/TextViewValue.h"

#include "host/data/StringValue.h"

TextViewValue::~TextViewValue() = default;

ScoreValue* TextViewValue::Clone() const { return new StringValue(std::string(text_)); }

bool TextViewValue::operator==(const ScoreValue& other) const {
  return StringValue::TextEquals(text_, other);
}

double TextViewValue::GetDouble() const { return StringValue::TextToDouble(text_); }
