#include "host/data/NumericValue.h"

#include "host/text/NumberText.h"

namespace {
// 0xFFEFFFFFFFFFFFFE: the largest-magnitude negative finite double but one.
constexpr double kSysmis = NumericValue::kSystemMissing;
}  // namespace

NumericValue::NumericValue(double value) : value_(value) {}

NumericValue::NumericValue(const std::string& text) : value_(kSysmis) { ParseNumber(text, value_); }

NumericValue::~NumericValue() = default;

double NumericValue::GetSysmisValue() { return kSysmis; }

ScoreValue* NumericValue::Clone() const { return new NumericValue(value_); }

bool NumericValue::operator==(const ScoreValue& other) const {
  return other.GetType() == Numeric && other.GetDouble() == value_;
}

bool NumericValue::IsSystemMissingValue() const { return value_ == kSysmis; }

std::string NumericValue::GetString() const { return NumberToString(value_); }

std::string_view NumericValue::GetStringView(NumberTextBuffer& buffer) const {
  return FormatNumberView(value_, buffer);
}
