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

// What one document may cost: its size, its DOM nodes (elements,
// attributes, text, CDATA sections and processing instructions; comments
// are not kept), its levels of nesting and its distinct element and
// attribute names. The node limit grows with the document: a real model's
// nodes take a dozen bytes or more each, while the costly documents that
// the limit stops pack a node into every few bytes; the budget is
// max(minNodes, size / bytesPerNode). Depth and names stay fixed: a deep
// document costs recursion and every new name costs more than the last
// (Xerces pools them in a table that never grows).
struct MODELCORE_API DocumentLimits {
  std::size_t maxDocumentBytes = std::size_t{256} << 20;
  std::size_t minNodes = 200000;
  std::size_t bytesPerNode = 8;
  std::size_t maxDepth = 256;
  std::size_t maxNames = 10000;

  // The nodes admitted in a document of `bytes` bytes.
  std::size_t MaxNodes(std::size_t bytes) const {
    const std::size_t scaled = bytesPerNode == 0 ? 0 : bytes / bytesPerNode;
    return scaled > minNodes ? scaled : minNodes;
  }
};

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
// What one document may cost is bounded by its DocumentLimits (the
// defaults unless given). Since no element is deeper than maxDepth, every
// recursive walk over a parsed document (Xerces' release of it included)
// is bounded too.
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
  // The default limits (DocumentLimits), each refused with code 9 when
  // exceeded. A document within them costs memory and time linear in its
  // size: about 12 bytes of memory per byte of text.
  static constexpr std::size_t kMaxDocumentBytes = std::size_t{256} << 20;
  static constexpr std::size_t kMaxNodes = 200000;  // for documents up to 1.6 MB
  static constexpr std::size_t kMaxDepth = 256;
  static constexpr std::size_t kMaxNames = 10000;

  static DocumentPtr ParseFile(const std::string& path, const DocumentLimits& limits = {});
  // `sourceName` names the text in messages.
  static DocumentPtr ParseText(const std::string& text, const std::string& sourceName,
                               const DocumentLimits& limits = {});
  static DocumentPtr ParseStream(std::istream& in, const std::string& sourceName,
                                 const DocumentLimits& limits = {});
};

#endif  // MODELCORE_PMMLPARSER_H_
