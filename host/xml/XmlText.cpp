#include "host/xml/XmlText.h"

namespace xmltext {

std::string ToUtf8(const XMLCh* text) {
  std::string out;
  if (text == nullptr) return out;
  for (const XMLCh* p = text; *p != 0; ++p) {
    char32_t c = *p;
    if (c >= 0xD800 && c <= 0xDBFF && p[1] >= 0xDC00 && p[1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (p[1] - 0xDC00);
      ++p;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      c = 0xFFFD;
    }
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += static_cast<char>(0xE0 | (c >> 12));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (c >> 18));
      out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

std::basic_string<XMLCh> FromAscii(const char* ascii) {
  std::basic_string<XMLCh> out;
  if (ascii == nullptr) return out;
  for (const char* p = ascii; *p != '\0'; ++p)
    out += static_cast<XMLCh>(static_cast<unsigned char>(*p));
  return out;
}

bool EqualsAscii(const XMLCh* text, const char* ascii) {
  static const XMLCh kEmpty[] = {0};
  if (text == nullptr) text = kEmpty;
  if (ascii == nullptr) ascii = "";
  for (;; ++text, ++ascii) {
    if (*text != static_cast<XMLCh>(static_cast<unsigned char>(*ascii))) return false;
    if (*text == 0) return true;
  }
}

const XMLCh* LineKey() {
  static const XMLCh kKey[] = {u'm', u'c', u'.', u'l', u'i', u'n', u'e', 0};
  return kKey;
}

}  // namespace xmltext
