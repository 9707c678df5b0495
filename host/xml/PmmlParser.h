#ifndef MODELCORE_PMMLPARSER_H_
#define MODELCORE_PMMLPARSER_H_

#include <cstddef>
#include <istream>
#include <memory>
#include <string>

#include <xercesc/dom/DOMDocument.hpp>

#include "host/interfaces/ModelCoreExport.h"

// Releases a DOM document that a PmmlParser function returned, with the
// table of its elements' lines.
struct MODELCORE_API DocumentReleaser {
  void operator()(xercesc::DOMDocument* document) const;
};
using DocumentPtr = std::unique_ptr<xercesc::DOMDocument, DocumentReleaser>;

// Parses PMML text into a DOM document, safely: no DTD is loaded, no
// external entity is resolved, nothing is fetched from the file system or
// the network, and namespaces are off so tag names compare as written.
//
// A DOCTYPE is read only as a name and an internal subset that declares
// nothing. Every declaration in it is refused (ENTITY, ATTLIST, ELEMENT,
// NOTATION): a model document needs none, entities would expand and
// attribute defaults would be copied into every element they name. A
// DOCTYPE that names an external DTD (SYSTEM or PUBLIC) is refused too,
// without reading it. Xerces' security manager bounds entity expansion as
// a second line.
//
// What one document may cost is bounded: at most kMaxDocumentBytes of text,
// kMaxNodes DOM nodes, kMaxDepth levels of nesting and kMaxNames distinct
// names. Since no element is deeper than kMaxDepth, every recursive walk
// over a parsed document (Xerces' release of it included) is bounded too.
//
// Each element records the line on which its start tag ends, which is its
// first line unless the tag spans lines (BaseTranslator::GetLineNumber). An
// XmlPlatform must live while the parser and its documents are used.
// Files and streams are read whole into memory before parsing.
//
// Faults raise VkException code 9 with a message that names the source, the
// line and the column, e.g. "model.pmml:3:7: expected end of tag 'Value'";
// an unreadable file gives "cannot open <path>".
class MODELCORE_API PmmlParser {
 public:
  // Limits of one document, each refused with code 9 when exceeded: its
  // size, its DOM nodes (elements, attributes, text, CDATA sections and
  // processing instructions; comments are not kept), its levels of nesting
  // and its distinct element and attribute names. A document within them
  // costs at most about 300 MB (32 MiB of text) and a few seconds.
  static constexpr std::size_t kMaxDocumentBytes = 32u << 20;
  static constexpr std::size_t kMaxNodes = 200000;
  static constexpr std::size_t kMaxDepth = 256;
  static constexpr std::size_t kMaxNames = 10000;

  static DocumentPtr ParseFile(const std::string& path);
  // `sourceName` names the text in messages.
  static DocumentPtr ParseText(const std::string& text, const std::string& sourceName);
  static DocumentPtr ParseStream(std::istream& in, const std::string& sourceName);
};

#endif  // MODELCORE_PMMLPARSER_H_
