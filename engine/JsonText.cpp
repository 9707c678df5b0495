#include "engine/JsonText.h"

#include <cmath>

#include "host/text/NumberText.h"

namespace bnscore::internal {

namespace {

// The length of the well-formed UTF-8 sequence at the start of `text`
// (whose first byte is 0x80 or above), or 0 when it is not one: no
// overlong forms, no surrogates, nothing above U+10FFFF.
std::size_t Utf8SequenceLength(std::string_view text) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = byte(0);
  std::size_t length = 0;
  unsigned char low = 0x80, high = 0xBF;  // the range of the second byte
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return 0;
  }
  if (text.size() < length || byte(1) < low || byte(1) > high) return 0;
  for (std::size_t i = 2; i < length; ++i) {
    if (byte(i) < 0x80 || byte(i) > 0xBF) return 0;
  }
  return length;
}

}  // namespace

void AppendJsonString(std::string_view text, std::string& out) {
  static const char kHex[] = "0123456789abcdef";
  out.push_back('"');
  std::size_t plain = 0;  // start of the run of bytes copied as they are
  std::size_t i = 0;
  while (i < text.size()) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (c >= 0x80) {
      const std::size_t length = Utf8SequenceLength(text.substr(i));
      if (length > 0) {
        i += length;
        continue;
      }
    } else if (c >= 0x20 && c != '"' && c != '\\') {
      ++i;
      continue;
    }
    out.append(text.data() + plain, i - plain);
    switch (c) {
      case '"': out.append("\\\""); break;
      case '\\': out.append("\\\\"); break;
      case '\n': out.append("\\n"); break;
      case '\r': out.append("\\r"); break;
      case '\t': out.append("\\t"); break;
      default:
        if (c >= 0x80) {
          out.append("\\ufffd");  // a byte that is not UTF-8
        } else {
          const char escape[] = {'\\', 'u', '0', '0', kHex[c >> 4], kHex[c & 15]};
          out.append(escape, sizeof escape);
        }
    }
    plain = ++i;
  }
  out.append(text.data() + plain, text.size() - plain);
  out.push_back('"');
}

void AppendJsonNumber(double value, NumberTextBuffer& buffer, std::string& out) {
  if (!std::isfinite(value)) {
    out += "null";
    return;
  }
  out += FormatNumberView(value, buffer);
}

}  // namespace bnscore::internal
