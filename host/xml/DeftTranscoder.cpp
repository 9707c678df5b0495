#include "host/xml/DeftTranscoder.h"

#include <xercesc/util/PlatformUtils.hpp>
#include <xercesc/util/TransService.hpp>
#include <xercesc/util/XMLException.hpp>

#include "host/interfaces/VkException.h"
#include "host/xml/XmlText.h"

namespace {

bool IsUtf8Name(const std::string& name) {
  std::string lower;
  for (char c : name) lower += static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  return lower == "utf-8" || lower == "utf8";
}

}  // namespace

DeftTranscoder::DeftTranscoder(const std::string& encoding)
    : encoding_(encoding.empty() ? "UTF-8" : encoding), utf8_(IsUtf8Name(encoding_)) {
  xercesc::XMLTransService::Codes code = xercesc::XMLTransService::Ok;
  std::basic_string<XMLCh> name = xmltext::FromAscii(encoding_.c_str());
  std::unique_ptr<xercesc::XMLTranscoder> probe(
      xercesc::XMLPlatformUtils::fgTransService->makeNewTranscoderFor(name.c_str(), code, 1024));
  if (!probe || code != xercesc::XMLTransService::Ok) {
    throw VkException(VkException::MalformedXml, "Unknown character encoding '" + encoding_ + "'.");
  }
}

DeftTranscoder::~DeftTranscoder() = default;

std::string DeftTranscoder::transcodeTo(const XMLCh* text) const {
  std::string out;
  transcodeTo(text, out);
  return out;
}

void DeftTranscoder::transcodeTo(const XMLCh* text, std::string& out) const {
  out.clear();
  if (text == nullptr || *text == 0) return;
  // ASCII text is the same bytes in UTF-8: copied without a transcoder
  // (making one per text cost more than the rest of reading a table).
  if (utf8_) {
    const XMLCh* c = text;
    while (*c != 0 && *c < 0x80) ++c;
    if (*c == 0) {
      out.resize(static_cast<std::size_t>(c - text));
      for (char& byte : out) byte = static_cast<char>(*text++);
      return;
    }
  }
  try {
    xercesc::TranscodeToStr utf(text, encoding_.c_str());
    out.assign(reinterpret_cast<const char*>(utf.str()), utf.length());
  } catch (const xercesc::XMLException&) {
    throw VkException(VkException::MalformedXml, "The text '" + xmltext::ToUtf8(text) +
                                                     "' cannot be written in " + encoding_ + ".");
  }
}
