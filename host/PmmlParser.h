#ifndef MODELCORE_PMMLPARSER_H_
#define MODELCORE_PMMLPARSER_H_

#include <istream>
#include <memory>
#include <string>

#include <xercesc/dom/DOMDocument.hpp>

#include "host/ModelCoreExport.h"

// Releases a DOM document that a PmmlParser function returned.
struct MODELCORE_API DocumentReleaser {
  void operator()(xercesc::DOMDocument* document) const;
};
using DocumentPtr = std::unique_ptr<xercesc::DOMDocument, DocumentReleaser>;

// Parses PMML text into a DOM document, safely: no DTD is loaded, no
// external entity is resolved, nothing is fetched from the file system or
// the network, Xerces' security manager bounds entity expansion, and
// namespaces are off so tag names compare as written. Every entity
// declaration in a DOCTYPE is refused (internal ones too: PMML has no use
// for them, and refusing them stops entity bombs before any expansion), and
// so is a DOCTYPE that names an external DTD (SYSTEM or PUBLIC), which is
// never read. Each element
// records the line on which its start tag ends, which is its first line
// unless the tag spans lines (BaseTranslator::GetLineNumber). An
// XmlPlatform must live while the parser and its documents are used.
// Files and streams are read whole into memory before parsing.
//
// Faults raise VkException code 9 with a message that names the source, the
// line and the column, e.g. "model.pmml:3:7: expected end of tag 'Value'";
// an unreadable file gives "cannot open <path>".
class MODELCORE_API PmmlParser {
 public:
  static DocumentPtr ParseFile(const std::string& path);
  // `sourceName` names the text in messages.
  static DocumentPtr ParseText(const std::string& text, const std::string& sourceName);
  static DocumentPtr ParseStream(std::istream& in, const std::string& sourceName);
};

#endif  // MODELCORE_PMMLPARSER_H_
