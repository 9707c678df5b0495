#include "service/JsonText.h"

#include <charconv>
#include <cmath>

#include "host/NumberText.h"

void AppendJsonString(std::string& out, std::string_view text) {
  static const char kHex[] = "0123456789abcdef";
  out.push_back('"');
  std::size_t plain = 0;  // start of the run of bytes copied as they are
  for (std::size_t i = 0; i < text.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (c >= 0x20 && c != '"' && c != '\\') continue;
    out.append(text.data() + plain, i - plain);
    plain = i + 1;
    switch (c) {
      case '"': out.append("\\\""); break;
      case '\\': out.append("\\\\"); break;
      case '\n': out.append("\\n"); break;
      case '\r': out.append("\\r"); break;
      case '\t': out.append("\\t"); break;
      default: {
        const char escape[] = {'\\', 'u', '0', '0', kHex[c >> 4], kHex[c & 15]};
        out.append(escape, sizeof escape);
      }
    }
  }
  out.append(text.data() + plain, text.size() - plain);
  out.push_back('"');
}

void AppendJsonNumber(std::string& out, double value) {
  if (!std::isfinite(value)) {
    out.append("null");
    return;
  }
  NumberTextBuffer buffer;
  out.append(FormatNumberView(value, buffer));
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
