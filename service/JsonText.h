#ifndef BNSCORE_SERVICE_JSONTEXT_H_
#define BNSCORE_SERVICE_JSONTEXT_H_

#include <string>
#include <string_view>

namespace bnscore::service {

// Appends JSON values to a string the caller owns and reuses. Numbers are
// written exactly as bnscore writes them in its CSV output (the host's one
// text form of a number: the shortest digits that read back to the same
// double), so a client reads back the same bits; NaN and infinities, which
// JSON cannot hold, become null. Nothing here allocates beyond the growth
// of `out`.

// A JSON string literal, as the engine's AppendJsonString writes it:
// quotes, backslashes and control characters escaped, and every byte that
// is not part of well-formed UTF-8 written as U+FFFD (messages may quote
// what a client sent).
void AppendJsonString(std::string& out, std::string_view text);

// A number, or null when it is NaN or infinite.
void AppendJsonNumber(std::string& out, double value);

void AppendJsonInteger(std::string& out, long long value);

// {"error":{"code":CODE,"message":"MESSAGE"}}
void WriteJsonError(std::string& out, int code, std::string_view message);

}  // namespace bnscore::service

#endif  // BNSCORE_SERVICE_JSONTEXT_H_
