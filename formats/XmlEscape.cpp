#include "formats/XmlEscape.h"

namespace bnscore::formats {

namespace {

// The reference that stands for `c`: & < > and carriage return always; in
// an attribute also " tab and line feed (which the attribute's value would
// otherwise lose to normalisation); null for any other character.
const char* ReferenceFor(char c, bool attribute) {
  switch (c) {
    case '&':
      return "&amp;";
    case '<':
      return "&lt;";
    case '>':
      return "&gt;";
    case '\r':
      return "&#13;";
    case '"':
      return attribute ? "&quot;" : nullptr;
    case '\t':
      return attribute ? "&#9;" : nullptr;
    case '\n':
      return attribute ? "&#10;" : nullptr;
    default:
      return nullptr;
  }
}

void AppendEscaped(std::string_view text, bool attribute, std::string& out) {
  for (char c : text) {
    if (const char* reference = ReferenceFor(c, attribute)) {
      out += reference;
    } else {
      out += c;
    }
  }
}

}  // namespace

void AppendXmlAttribute(std::string_view text, std::string& out) { AppendEscaped(text, true, out); }

void AppendXmlText(std::string_view text, std::string& out) { AppendEscaped(text, false, out); }

bool IsXmlSafe(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size()) {
    const auto byte = static_cast<unsigned char>(text[i]);
    if (byte < 0x80) {
      if (byte < 0x20 && byte != '\t' && byte != '\n' && byte != '\r') return false;
      ++i;
      continue;
    }
    // A UTF-8 sequence, decoded, must be a character XML allows.
    const std::size_t length = byte >= 0xF0 ? 4 : byte >= 0xE0 ? 3 : byte >= 0xC2 ? 2 : 0;
    if (length == 0 || byte > 0xF4 || i + length > text.size()) return false;
    char32_t code = byte & (0x7F >> length);
    for (std::size_t k = 1; k < length; ++k) {
      const auto next = static_cast<unsigned char>(text[i + k]);
      if ((next & 0xC0) != 0x80) return false;
      code = (code << 6) | (next & 0x3F);
    }
    const char32_t least[] = {0, 0, 0x80, 0x800, 0x10000};
    if (code < least[length] || (code >= 0xD800 && code <= 0xDFFF) || code == 0xFFFE ||
        code == 0xFFFF || code > 0x10FFFF) {
      return false;
    }
    i += length;
  }
  return true;
}

}  // namespace bnscore::formats
