#ifndef MODELCORE_STRINGVALUE_H_
#define MODELCORE_STRINGVALUE_H_

#include <string>
#include <string_view>

#include "host/interfaces/ScoreValue.h"

// A string value (type 1). GetDouble() reads the text as NumericValue's
// text constructor does.
class MODELCORE_API StringValue : public ScoreValue {
 public:
  explicit StringValue(const char* text);
  explicit StringValue(const std::string& text);
  ~StringValue() override;

  void SetString(const std::string& text) { text_ = text; }
  // Same as SetString; reuses the existing capacity.
  void SetString(std::string_view text) { text_.assign(text.data(), text.size()); }

  ScoreValue* Clone() const override;
  bool operator==(const ScoreValue& other) const override;
  bool IsSystemMissingValue() const override { return false; }
  double GetDouble() const override;
  std::string GetString() const override { return text_; }
  std::string_view GetStringView(NumberTextBuffer&) const override { return text_; }
  ValueType GetType() const override { return String; }

  const std::string& GetText() const { return text_; }

  // What every string value's operator== and GetDouble answer for `text`
  // (shared with TextViewValue).
  static bool TextEquals(std::string_view text, const ScoreValue& other);
  static double TextToDouble(std::string_view text);

 private:
  std::string text_;
};

#endif  // MODELCORE_STRINGVALUE_H_
