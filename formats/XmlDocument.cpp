#include "formats/XmlDocument.h"

#include <xercesc/dom/DOMDocument.hpp>
#include <xercesc/dom/DOMAttr.hpp>
#include <xercesc/dom/DOMNode.hpp>

#include "formats/FormatError.h"
#include "formats/XmlEscape.h"
#include "host/interfaces/VkException.h"
#include "host/xml/BaseTranslator.h"
#include <xercesc/util/TransService.hpp>

using xercesc::DOMElement;
using xercesc::DOMNode;

namespace bnscore::formats {

namespace {

std::string ToUtf8(const XMLCh* text) {
  if (text == nullptr || *text == 0) return {};
  // ASCII is copied as it is: a transcoder made per text costs thousands
  // of instructions.
  const XMLCh* end = text;
  while (*end != 0 && *end < 0x80) ++end;
  if (*end == 0) {
    std::string ascii(static_cast<std::size_t>(end - text), '\0');
    for (char& c : ascii) c = static_cast<char>(*text++);
    return ascii;
  }
  xercesc::TranscodeToStr utf8(text, "UTF-8");
  return std::string(reinterpret_cast<const char*>(utf8.str()), utf8.length());
}

bool EqualsAscii(const XMLCh* text, const char* ascii) {
  if (text == nullptr) return *ascii == 0;
  while (*ascii != 0 && *text == static_cast<XMLCh>(static_cast<unsigned char>(*ascii))) {
    ++text;
    ++ascii;
  }
  return *ascii == 0 && *text == 0;
}

}  // namespace

XmlDocument::XmlDocument(std::string_view text, std::string source, const DocumentLimits& limits)
    : text_(text), source_(std::move(source)) {
  try {
    owned_ = PmmlParser::ParseText(std::string(text), source_, limits);
  } catch (const VkException& e) {
    throw FormatError(e.GetMessage());
  }
  document_ = owned_.get();
}

XmlDocument::XmlDocument(const xercesc::DOMDocument& parsed, std::string_view text,
                         std::string source)
    : text_(text), source_(std::move(source)), document_(&parsed) {}

void XmlDocument::Fail(const DOMElement* element, const std::string& message) const {
  const int line = element == nullptr ? 0 : BaseTranslator::GetLineNumber(element);
  if (line <= 0) throw FormatError(source_ + ": " + message);
  // The start tag ends on `line`: its '<' is the last "<Name" that begins
  // before that line's end.
  std::size_t lineStart = 0;
  for (int l = 1; l < line; ++l) {
    const std::size_t end = text_.find('\n', lineStart);
    if (end == std::string_view::npos) break;
    lineStart = end + 1;
  }
  std::size_t lineEnd = text_.find('\n', lineStart);
  if (lineEnd == std::string_view::npos) lineEnd = text_.size();
  const std::string open = "<" + Name(element);
  const std::size_t at = text_.rfind(open, lineEnd);
  std::size_t column = 1;
  std::size_t tagLine = static_cast<std::size_t>(line);
  if (at != std::string_view::npos) {
    // A tag spread over lines starts on an earlier line than it ends.
    for (std::size_t i = at; i < lineStart; ++i) tagLine -= text_[i] == '\n' ? 1 : 0;
    const std::size_t newline = text_.rfind('\n', at);
    column = at - (newline == std::string_view::npos ? 0 : newline + 1) + 1;
  }
  throw FormatError::At(source_, tagLine, column, message);
}

const DOMElement* XmlDocument::FirstChild(const DOMNode* node) {
  for (const DOMNode* child = node->getFirstChild(); child != nullptr;
       child = child->getNextSibling()) {
    if (child->getNodeType() == DOMNode::ELEMENT_NODE) return static_cast<const DOMElement*>(child);
  }
  return nullptr;
}

const DOMElement* XmlDocument::Next(const DOMElement* element) {
  for (const DOMNode* next = element->getNextSibling(); next != nullptr;
       next = next->getNextSibling()) {
    if (next->getNodeType() == DOMNode::ELEMENT_NODE) return static_cast<const DOMElement*>(next);
  }
  return nullptr;
}

const DOMElement* XmlDocument::Child(const DOMNode* node, const char* tag) {
  for (const DOMElement* child = FirstChild(node); child != nullptr; child = Next(child)) {
    if (Is(child, tag)) return child;
  }
  return nullptr;
}

bool XmlDocument::Is(const DOMElement* element, const char* tag) {
  return EqualsAscii(element->getTagName(), tag);
}

std::string XmlDocument::Name(const DOMElement* element) { return ToUtf8(element->getTagName()); }

std::string XmlDocument::Text(const DOMElement* element) {
  // An element whose one child is a text node is read from that node,
  // without the copy getTextContent makes in the document's heap.
  const DOMNode* child = element->getFirstChild();
  const bool oneText = child != nullptr && child->getNextSibling() == nullptr &&
                       child->getNodeType() == DOMNode::TEXT_NODE;
  std::string text = ToUtf8(oneText ? child->getNodeValue() : element->getTextContent());
  std::size_t begin = 0;
  std::size_t end = text.size();
  while (begin < end && IsXmlSpace(text[begin])) ++begin;
  while (end > begin && IsXmlSpace(text[end - 1])) --end;
  return text.substr(begin, end - begin);
}

std::string XmlDocument::Attribute(const DOMElement* element, const char* name, bool* present) {
  std::basic_string<XMLCh> key;
  for (const char* c = name; *c != 0; ++c) key += static_cast<XMLCh>(*c);
  const xercesc::DOMAttr* attribute = element->getAttributeNode(key.c_str());
  if (present != nullptr) *present = attribute != nullptr;
  return attribute == nullptr ? std::string() : ToUtf8(BaseTranslator::AttributeValue(*attribute));
}

}  // namespace bnscore::formats
