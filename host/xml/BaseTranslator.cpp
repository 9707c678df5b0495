#include "host/xml/BaseTranslator.h"

#include <charconv>
#include <cstdint>
#include <string_view>
#include <type_traits>

#include "host/interfaces/VkException.h"
#include "host/text/NumberText.h"
#include "host/xml/ElementLines.h"
#include "host/xml/PmmlParser.h"
#include "host/xml/XmlPlatform.h"
#include "host/xml/XmlText.h"

using xercesc::DOMDocument;
using xercesc::DOMElement;
using xercesc::DOMNode;
using xercesc::DOMNodeList;

namespace {

// " at line N" when the line of `node` is known, else "".
std::string AtLine(const DOMNode* node) {
  int line = BaseTranslator::GetLineNumber(node);
  return line > 0 ? " at line " + std::to_string(line) : std::string();
}

// "<Tag>" for an element, "the document" for anything else.
std::string Describe(const DOMNode* node) {
  if (node == nullptr) return "(no element)";
  if (node->getNodeType() != DOMNode::ELEMENT_NODE) return "the document";
  return "<" + xmltext::ToUtf8(node->getNodeName()) + ">";
}

std::string_view TrimBlanks(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

bool ParseInt(std::string_view text, int& value) {
  text = TrimBlanks(text);
  bool negative = false;
  if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  if (text.empty()) return false;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
  }
  // Read the magnitude as a wider number so that INT_MIN fits.
  long long magnitude = 0;
  auto r = std::from_chars(text.data(), text.data() + text.size(), magnitude);
  if (r.ec != std::errc()) return false;
  long long signedValue = negative ? -magnitude : magnitude;
  if (signedValue < INT32_MIN || signedValue > INT32_MAX) return false;
  value = static_cast<int>(signedValue);
  return true;
}

// ParseNumber and ParseInt under one name, for CheckNumber.
bool ReadNumber(std::string_view text, double& value) { return ParseNumber(text, value); }
bool ReadNumber(std::string_view text, int& value) { return ParseInt(text, value); }

// The one number check of the translator base: `text` read as a double
// (ParseNumber's syntax) or as a whole decimal int, else code 4. The
// message names the attribute and its element when `attribute` is given.
template <typename Number>
Number CheckNumber(const XMLCh* text, const DOMElement* element, const char* attribute) {
  const std::string narrow = xmltext::ToUtf8(text);
  Number value{};
  if (ReadNumber(narrow, value)) return value;
  const std::string kind = std::is_same_v<Number, int> ? "an integer" : "a number";
  if (attribute == nullptr) {
    throw VkException(VkException::MalformedNumber, "'" + narrow + "' is not " + kind + ".");
  }
  throw VkException(VkException::MalformedNumber, "Attribute " + std::string(attribute) + " of " +
                                                      Describe(element) + AtLine(element) +
                                                      " is not " + kind + ": '" + narrow + "'.");
}

}  // namespace

BaseTranslator::BaseTranslator() = default;

BaseTranslator::~BaseTranslator() = default;

ScoreModel* BaseTranslator::ParseFromTree(const std::string& fileName,
                                          const std::string& encoding) {
  XmlPlatform platform;  // outlives the document below
  DocumentPtr document = PmmlParser::ParseFile(fileName);
  return ParseFromTree(document.get(), encoding);
}

ScoreModel* BaseTranslator::ParseFromTree(std::istream& in, const std::string& encoding) {
  return ParseFromTree(in, encoding, "<stream>");
}

ScoreModel* BaseTranslator::ParseFromTree(std::istream& in, const std::string& encoding,
                                          const std::string& sourceName) {
  XmlPlatform platform;
  DocumentPtr document = PmmlParser::ParseStream(in, sourceName);
  return ParseFromTree(document.get(), encoding);
}

DOMElement* BaseTranslator::GetChildByTag(const DOMNode* node, const char* tag) {
  for (DOMElement* child = GetFirstChildElt(node); child != nullptr;
       child = GetNextSiblingElt(child)) {
    if (IsEqual(child->getTagName(), tag)) return child;
  }
  return nullptr;
}

DOMElement* BaseTranslator::GetChildByTagForced(const DOMNode* node, const char* tag) {
  DOMElement* child = GetChildByTag(node, tag);
  if (child == nullptr) {
    throw VkException(
        VkException::MissingChildElement,
        "Element <" + std::string(tag) + "> is required in " + Describe(node) + AtLine(node) + ".");
  }
  return child;
}

DOMElement* BaseTranslator::GetFirstChildElt(const DOMNode* node) {
  if (node == nullptr) return nullptr;
  for (DOMNode* child = node->getFirstChild(); child != nullptr; child = child->getNextSibling()) {
    if (child->getNodeType() == DOMNode::ELEMENT_NODE) return static_cast<DOMElement*>(child);
  }
  return nullptr;
}

DOMElement* BaseTranslator::GetNextSiblingElt(const DOMNode* node) {
  if (node == nullptr) return nullptr;
  for (DOMNode* next = node->getNextSibling(); next != nullptr; next = next->getNextSibling()) {
    if (next->getNodeType() == DOMNode::ELEMENT_NODE) return static_cast<DOMElement*>(next);
  }
  return nullptr;
}

DOMNodeList* BaseTranslator::GetElementsByTagName(const DOMNode* node, const char* tag) {
  if (node == nullptr) return nullptr;
  std::basic_string<XMLCh> name = xmltext::FromAscii(tag);
  switch (node->getNodeType()) {
    case DOMNode::DOCUMENT_NODE:
      return static_cast<const DOMDocument*>(node)->getElementsByTagName(name.c_str());
    case DOMNode::ELEMENT_NODE:
      return static_cast<const DOMElement*>(node)->getElementsByTagName(name.c_str());
    default:
      return nullptr;
  }
}

namespace {

// The attribute node named `name` (ASCII) of `element`, or null. The name
// is widened on the stack: attribute names are short.
const xercesc::DOMAttr* AttributeNode(const DOMElement* element, const char* name) {
  XMLCh key[64];
  std::size_t length = 0;
  while (name[length] != '\0' && length + 1 < sizeof key / sizeof key[0]) {
    key[length] = static_cast<XMLCh>(static_cast<unsigned char>(name[length]));
    ++length;
  }
  if (name[length] != '\0') {  // a long name: widened on the heap
    return element->getAttributeNode(xmltext::FromAscii(name).c_str());
  }
  key[length] = 0;
  return element->getAttributeNode(key);
}

}  // namespace

const XMLCh* BaseTranslator::AttributeValue(const xercesc::DOMAttr& attribute) {
  const DOMNode* child = attribute.getFirstChild();
  if (child != nullptr && child->getNextSibling() == nullptr &&
      child->getNodeType() == DOMNode::TEXT_NODE) {
    return child->getNodeValue();
  }
  return attribute.getValue();
}

const XMLCh* BaseTranslator::GetAttribute(const DOMElement* element, const char* name) {
  static const XMLCh kEmpty[] = {0};
  if (element == nullptr) return kEmpty;
  const xercesc::DOMAttr* attribute = AttributeNode(element, name);
  if (attribute == nullptr) return kEmpty;
  const XMLCh* value = AttributeValue(*attribute);
  return value != nullptr ? value : kEmpty;
}

const XMLCh* BaseTranslator::GetAttributeForced(const DOMElement* element, const char* name) {
  const xercesc::DOMAttr* attribute = element == nullptr ? nullptr : AttributeNode(element, name);
  if (attribute == nullptr) {
    throw VkException(VkException::MissingAttribute, "Attribute " + std::string(name) +
                                                         " is required in " + Describe(element) +
                                                         AtLine(element) + ".");
  }
  return AttributeValue(*attribute);
}

bool BaseTranslator::IsEqual(const XMLCh* text, const char* str) {
  return xmltext::EqualsAscii(text, str);
}

double BaseTranslator::VerifyDouble(const XMLCh* text) {
  return CheckNumber<double>(text, nullptr, nullptr);
}

int BaseTranslator::VerifyInt(const XMLCh* text) {
  return CheckNumber<int>(text, nullptr, nullptr);
}

double BaseTranslator::VerifyDouble(const DOMElement* element, const char* attribute) {
  return CheckNumber<double>(GetAttribute(element, attribute), element, attribute);
}

double BaseTranslator::VerifyDouble(const DOMElement* element, const char* attribute,
                                    double fallback) {
  const XMLCh* text = GetAttribute(element, attribute);
  if (IsEqual(text, "")) return fallback;
  return CheckNumber<double>(text, element, attribute);
}

int BaseTranslator::VerifyInt(const DOMElement* element, const char* attribute) {
  return CheckNumber<int>(GetAttribute(element, attribute), element, attribute);
}

int BaseTranslator::GetLineNumber(const DOMNode* node) { return ElementLines::Find(node); }

ScoreVersionInfo* BaseTranslator::VersionInfo(const std::string& versionText) {
  return new ScoreVersionInfo(versionText);
}

void BaseTranslator::CreateTranscoder(const std::string& encoding) {
  transcoder_ = std::make_unique<DeftTranscoder>(encoding);
}
