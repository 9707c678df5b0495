#include "engine/JsonText.h"

#include <cmath>

#include "host/text/NumberText.h"

void AppendJsonString(std::string_view text, std::string& out) {
  static const char kHex[] = "0123456789abcdef";
  out += '"';
  for (char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (byte < 0x20) {
          out += "\\u00";
          out += kHex[byte >> 4];
          out += kHex[byte & 0xf];
        } else {
          out += c;
        }
    }
  }
  out += '"';
}

void AppendJsonNumber(double value, NumberTextBuffer& buffer, std::string& out) {
  if (!std::isfinite(value)) {
    out += "null";
    return;
  }
  out += FormatNumberView(value, buffer);
}
