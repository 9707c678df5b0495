#include "service/JsonText.h"

#include <charconv>

#include "engine/JsonText.h"
#include "host/text/NumberText.h"

namespace bnscore::service {

void AppendJsonString(std::string& out, std::string_view text) { internal::AppendJsonString(text, out); }

void AppendJsonNumber(std::string& out, double value) {
  NumberTextBuffer buffer;
  internal::AppendJsonNumber(value, buffer, out);
}

void AppendJsonInteger(std::string& out, long long value) {
  char digits[24];
  const std::to_chars_result r = std::to_chars(digits, digits + sizeof digits, value);
  out.append(digits, r.ptr);
}

void WriteJsonError(std::string& out, int code, std::string_view message) {
  out.clear();
  out.append("{\"error\":{\"code\":");
  AppendJsonInteger(out, code);
  out.append(",\"message\":");
  AppendJsonString(out, message);
  out.append("}}\n");
}

}  // namespace bnscore::service
