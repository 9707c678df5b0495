#ifndef MODELCORE_XMLTEXT_H_
#define MODELCORE_XMLTEXT_H_

#include <string>

#include <xercesc/util/XercesDefs.hpp>

// Small conversions between DOM text (UTF-16) and narrow strings that need
// no initialised Xerces platform. Internal to modelcore.
namespace xmltext {

// The text as UTF-8; null gives "". Unpaired surrogates become U+FFFD.
std::string ToUtf8(const XMLCh* text);

// `ascii` widened to DOM text.
std::basic_string<XMLCh> FromAscii(const char* ascii);

// True when `text` (null reads as "") equals the ASCII string `ascii`.
bool EqualsAscii(const XMLCh* text, const char* ascii);

// The key under which a parsed document holds its ElementLines.
const XMLCh* LineKey();

}  // namespace xmltext

#endif  // MODELCORE_XMLTEXT_H_
