#ifndef BNSCORE_JSONTEXT_H_
#define BNSCORE_JSONTEXT_H_

// The JSON text every part of bnscore writes (JSON Lines output, the
// service's replies, the commands' --format json), appended to a string
// that the caller owns and reuses, so that writing allocates nothing once
// the string has reached its working size.

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "bnscore/bnscore.h"

namespace bnscore {

// `text` as a JSON string: quotes, backslashes and control characters
// escaped, and every byte that is not part of well-formed UTF-8 written as
// U+FFFD ("\ufffd"), so that the string is valid whatever the text;
// well-formed UTF-8 is copied as it is (docs/formats.md).
BNSCORE_API void AppendJsonString(std::string& out, std::string_view text);

// The shortest digits that read back to the same double (the text of
// bnscore's CSV cells), or null for a value that is not finite, which JSON
// cannot hold.
BNSCORE_API void AppendJsonNumber(std::string& out, double value);

BNSCORE_API void AppendJsonInteger(std::string& out, long long value);

// Writes the members of one record's outcome, the same in JSON Lines output
// and in the service's replies:
//   "status":0,"prediction":"low","confidence":0.65,
//   "probabilities":{"low":0.65,"medium":0.3,"high":0.05}
// The prediction is its category's text ("" for a category whose text is
// empty), null when there is none. Confidence and probabilities are null
// unless the status is kScored, and always with predictionOnly (the keys
// stay); a probability the record has not is null.
//
// Keeps the texts of recent numbers: one writer per thread.
class BNSCORE_API JsonOutcomeWriter {
 public:
  // `categories`: the target's, in output order.
  JsonOutcomeWriter(const std::vector<std::string>& categories, bool predictionOnly);
  ~JsonOutcomeWriter();
  JsonOutcomeWriter(const JsonOutcomeWriter&) = delete;
  JsonOutcomeWriter& operator=(const JsonOutcomeWriter&) = delete;

  // Appends the members (no braces) of `outcome`, whose probabilities are
  // one per category (ignored unless scored and not predictionOnly).
  void Append(const Outcome& outcome, const double* probabilities, std::string& out);

  const std::vector<std::string>& GetCategories() const;
  bool IsPredictionOnly() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace bnscore

#endif  // BNSCORE_JSONTEXT_H_
