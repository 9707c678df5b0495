#ifndef MODELCORE_SCOREVALUE_H_
#define MODELCORE_SCOREVALUE_H_

#include <string>
#include <string_view>

#include "host/interfaces/ModelCoreExport.h"

// Scratch space for the text form of a value (see NumberText.h); large
// enough for every double in that form.
struct NumberTextBuffer {
  char data[32];
};

// The number that stands for a missing numeric value (the system-missing
// value); NumericValue::GetSysmisValue() gives it. Fixed by the host
// interface; do not change.
inline constexpr double kSystemMissingNumber = -1.7976931348623155e308;

// A field value of a case record, a category value of a dictionary variable
// or a prediction. Abstract; NumericValue and StringValue implement it.
// Values of different types are never equal.
class MODELCORE_API ScoreValue {
 public:
  // Fixed by the host interface; do not change.
  enum ValueType { Numeric = 0, String = 1 };

  virtual ~ScoreValue();

  // A new copy; the caller owns it.
  virtual ScoreValue* Clone() const = 0;

  // Numbers compare their doubles with ==, strings compare exactly.
  virtual bool operator==(const ScoreValue& other) const = 0;

  // True only for a numeric value holding NumericValue::GetSysmisValue().
  virtual bool IsSystemMissingValue() const = 0;

  virtual double GetDouble() const = 0;
  virtual std::string GetString() const = 0;

  // The same text as GetString() without allocating: either a view of the
  // value's own text or text written into `buffer`. The view is valid while
  // both the value (unchanged) and the buffer live.
  virtual std::string_view GetStringView(NumberTextBuffer& buffer) const = 0;

  virtual ValueType GetType() const = 0;

 protected:
  ScoreValue() = default;
  ScoreValue(const ScoreValue&) = default;
  ScoreValue& operator=(const ScoreValue&) = default;
};

#endif  // MODELCORE_SCOREVALUE_H_
