#ifndef BNSCORE_FORMATS_XMLDOCUMENT_H_
#define BNSCORE_FORMATS_XMLDOCUMENT_H_

#include <cstddef>
#include <string>
#include <string_view>

#include <xercesc/dom/DOMElement.hpp>

#include "host/xml/PmmlParser.h"

namespace bnscore::formats {

// An XML network document parsed with the host's guarded parser (no DTD,
// no entities, bounded size, nodes, depth and names), and the helpers the
// XML readers share: child walks, texts and attributes as UTF-8, and faults
// that name the source, the element's line and its column.
//
// Requires a live XmlPlatform. Keeps a view of the text, which must outlive
// it. Parse faults throw FormatError with the parser's position.
class XmlDocument {
 public:
  XmlDocument(std::string_view text, std::string source, const DocumentLimits& limits = {});
  // A document the caller parsed from `text` with PmmlParser (its lines
  // known) and keeps: both must outlive this.
  XmlDocument(const xercesc::DOMDocument& parsed, std::string_view text, std::string source);

  const xercesc::DOMElement* Root() const { return document_->getDocumentElement(); }
  const std::string& Source() const { return source_; }

  // Throws FormatError "SOURCE:LINE:COLUMN: MESSAGE" at `element`'s start tag.
  [[noreturn]] void Fail(const xercesc::DOMElement* element, const std::string& message) const;

  static const xercesc::DOMElement* FirstChild(const xercesc::DOMNode* node);
  static const xercesc::DOMElement* Next(const xercesc::DOMElement* element);
  // The first child element named `tag`, or null.
  static const xercesc::DOMElement* Child(const xercesc::DOMNode* node, const char* tag);
  static bool Is(const xercesc::DOMElement* element, const char* tag);
  static std::string Name(const xercesc::DOMElement* element);
  // The element's text content, blanks (space, tab, line ends) trimmed.
  static std::string Text(const xercesc::DOMElement* element);
  // The attribute's value; `present` (when given) says whether it is there.
  static std::string Attribute(const xercesc::DOMElement* element, const char* name,
                               bool* present = nullptr);

 private:
  std::string_view text_;
  std::string source_;
  DocumentPtr owned_;  // null when the caller owns the document
  const xercesc::DOMDocument* document_;
};

}  // namespace bnscore::formats

#endif  // BNSCORE_FORMATS_XMLDOCUMENT_H_
