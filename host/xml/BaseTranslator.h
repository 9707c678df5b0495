#ifndef MODELCORE_BASETRANSLATOR_H_
#define MODELCORE_BASETRANSLATOR_H_

#include <memory>
#include <string>

#include <xercesc/dom/DOMAttr.hpp>
#include <xercesc/dom/DOMDocument.hpp>
#include <xercesc/dom/DOMElement.hpp>
#include <xercesc/dom/DOMNode.hpp>
#include <xercesc/dom/DOMNodeList.hpp>

#include "host/interfaces/ScoreTranslator.h"
#include "host/interfaces/ScoreVersionInfo.h"
#include "host/xml/DeftTranscoder.h"

// The translator base: the stream and file overloads of ParseFromTree
// (parse safely with PmmlParser, then call the document overload), the
// transcoder, and static helpers for walking the DOM.
//
// Tag and attribute names are narrow ASCII strings, compared exactly and
// case-sensitively with the DOM's text (IsEqual). Faults raise VkException
// with the host's codes:
//   2 a required child element is missing,
//   3 a required attribute is missing,
//   4 a number is malformed (an absent attribute reads as ""),
// each message naming the element, the attribute and the line where known,
// e.g. "Attribute fieldName is required in <ConditionalTable> at line 12.".
class MODELCORE_API BaseTranslator : public ScoreTranslator {
 public:
  BaseTranslator();
  ~BaseTranslator() override;

  ScoreModel* ParseFromTree(const std::string& fileName, const std::string& encoding) override;
  ScoreModel* ParseFromTree(std::istream& in, const std::string& encoding) override;
  ScoreModel* ParseFromTree(std::istream& in, const std::string& encoding,
                            const std::string& sourceName) override;
  using ScoreTranslator::ParseFromTree;

  // The first child element of `node` with that tag, or null.
  static xercesc::DOMElement* GetChildByTag(const xercesc::DOMNode* node, const char* tag);
  // The same, never null: raises code 2 when there is none.
  static xercesc::DOMElement* GetChildByTagForced(const xercesc::DOMNode* node, const char* tag);
  // The first child element, or the next sibling element, skipping every
  // other kind of node; null at the end.
  static xercesc::DOMElement* GetFirstChildElt(const xercesc::DOMNode* node);
  static xercesc::DOMElement* GetNextSiblingElt(const xercesc::DOMNode* node);
  // All elements of that tag below a document or an element, in document
  // order. The list belongs to the document.
  static xercesc::DOMNodeList* GetElementsByTagName(const xercesc::DOMNode* node, const char* tag);
  // The attribute's text; "" when it is absent (a null element is absent).
  static const XMLCh* GetAttribute(const xercesc::DOMElement* element, const char* name);
  // The same, but an absent attribute raises code 3.
  static const XMLCh* GetAttributeForced(const xercesc::DOMElement* element, const char* name);
  // The value of an attribute node, as DOMAttr::getValue gives it. The
  // usual value, one text node, is read without getValue's cast, which
  // costs more than the rest of reading the attribute.
  static const XMLCh* AttributeValue(const xercesc::DOMAttr& attribute);
  // True when `text` equals `str`; a null text equals "".
  static bool IsEqual(const XMLCh* text, const char* str);
  // The text read as a number (ParseNumber's syntax) or as a whole decimal
  // int; anything else, "" included, raises code 4.
  static double VerifyDouble(const XMLCh* text);
  static int VerifyInt(const XMLCh* text);
  // The same for an attribute of an element; the message names both.
  static double VerifyDouble(const xercesc::DOMElement* element, const char* attribute);
  static int VerifyInt(const xercesc::DOMElement* element, const char* attribute);
  // An attribute that may be left out: `fallback` when it is absent or
  // empty, else as VerifyDouble.
  static double VerifyDouble(const xercesc::DOMElement* element, const char* attribute,
                             double fallback);
  // The line on which the element starts, or 0 when it is not known.
  static int GetLineNumber(const xercesc::DOMNode* node);
  // New version information; the caller owns it.
  static ScoreVersionInfo* VersionInfo(const std::string& versionText);

 protected:
  // Makes the transcoder for `encoding`, replacing an earlier one.
  void CreateTranscoder(const std::string& encoding);

  // The transcoder made by the last CreateTranscoder; null before.
  std::unique_ptr<DeftTranscoder> transcoder_;
};

#endif  // MODELCORE_BASETRANSLATOR_H_
