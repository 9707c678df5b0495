#ifndef BNSCORE_SERVICE_JSONERRORTEXT_H_
#define BNSCORE_SERVICE_JSONERRORTEXT_H_

#include <string>
#include <string_view>

namespace bnscore::service {

// The message for a body that is not valid JSON: where the fault is (line,
// column) and what was expected there, e.g. "malformed JSON: parse error at
// line 1, column 9: syntax error while parsing object key - unexpected '}';
// expected string literal". The fast parser that rejected the body reports
// only the kind of fault (`parserMessage`), so the body is read once more by
// a second, slower parser that tells the place; should that one accept it,
// the message falls back to `parserMessage`. Only for rejected bodies.
std::string DescribeJsonError(std::string_view body, std::string_view parserMessage);

// Sets `out` to {"error":{"code":CODE,"message":"MESSAGE"}} and a line end.
void WriteJsonError(std::string& out, int code, std::string_view message);

}  // namespace bnscore::service

#endif  // BNSCORE_SERVICE_JSONERRORTEXT_H_
