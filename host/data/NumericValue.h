#ifndef MODELCORE_NUMERICVALUE_H_
#define MODELCORE_NUMERICVALUE_H_

#include <string>
#include <string_view>

#include "host/interfaces/ScoreValue.h"

// A numeric value (type 0).
//
// The system-missing value, GetSysmisValue(), is -1.7976931348623155e308:
// the second most negative finite double (bit pattern 0xFFEFFFFFFFFFFFFE),
// one step above MCMV::gMissingValue of the plug-in, so the two never meet.
// Its text form is "".
class MODELCORE_API NumericValue : public ScoreValue {
 public:
  explicit NumericValue(double value);
  // Reads the whole text as a decimal number (see ParseNumber in
  // NumberText.h); any other text gives the system-missing value.
  explicit NumericValue(const std::string& text);
  ~NumericValue() override;

  // The system-missing value, as a constant for code that inlines the
  // test; GetSysmisValue() gives the same number.
  static constexpr double kSystemMissing = kSystemMissingNumber;
  static double GetSysmisValue();

  void SetDoubleValue(double value) { value_ = value; }

  ScoreValue* Clone() const override;
  bool operator==(const ScoreValue& other) const override;
  bool IsSystemMissingValue() const override;
  double GetDouble() const override { return value_; }
  // GetDouble without the virtual call, for code that knows the class.
  double Number() const { return value_; }
  std::string GetString() const override;
  std::string_view GetStringView(NumberTextBuffer& buffer) const override;
  ValueType GetType() const override { return Numeric; }

 private:
  double value_;
};

#endif  // MODELCORE_NUMERICVALUE_H_
