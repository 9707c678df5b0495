#ifndef BNSCORE_ENGINE_JSONTEXT_H_
#define BNSCORE_ENGINE_JSONTEXT_H_

#include <string>
#include <string_view>

#include "host/interfaces/ScoreValue.h"

namespace bnscore::internal {

// Appends JSON text to a string that the caller reuses, so that writing
// allocates nothing once the string has reached its working size.
//
// AppendJsonString writes `text` as a JSON string: quotes, backslashes and
// control characters escaped, and every byte that is not part of
// well-formed UTF-8 written as U+FFFD, so that the string is valid whatever
// the text; well-formed UTF-8 is copied as it is. The one escaper of every
// JSON text bnscore writes (the service's included).
// AppendJsonNumber writes the shortest digits that read back to the same
// double (the text form of bnscore's CSV cells), and null for a value that
// is not finite, which JSON cannot hold.
void AppendJsonString(std::string_view text, std::string& out);
void AppendJsonNumber(double value, NumberTextBuffer& buffer, std::string& out);

}  // namespace bnscore::internal

#endif  // BNSCORE_ENGINE_JSONTEXT_H_
