#ifndef MODELCORE_TEXTVIEWVALUE_H_
#define MODELCORE_TEXTVIEWVALUE_H_

#include <string>
#include <string_view>

#include "host/interfaces/ScoreValue.h"

// A string value (type 1) that views text it does not own: it answers
// every call as a StringValue holding the same text would. Whoever sets the
// view keeps the text alive and unchanged while the value is read. Clone
// returns an owning StringValue, so that copies do not depend on the view.
class MODELCORE_API TextViewValue : public ScoreValue {
 public:
  TextViewValue() = default;
  ~TextViewValue() override;

  void SetView(std::string_view text) { text_ = text; }
  std::string_view GetView() const { return text_; }

  ScoreValue* Clone() const override;
  bool operator==(const ScoreValue& other) const override;
  bool IsSystemMissingValue() const override { return false; }
  double GetDouble() const override;
  std::string GetString() const override { return std::string(text_); }
  std::string_view GetStringView(NumberTextBuffer&) const override { return text_; }
  ValueType GetType() const override { return String; }

 private:
  std::string_view text_;
};

#endif  // MODELCORE_TEXTVIEWVALUE_H_
