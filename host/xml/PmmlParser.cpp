#include "host/xml/PmmlParser.h"

#include <cstddef>
#include <cstdint>
#include <fstream>
#include <memory>
#include <sstream>

#include <xercesc/dom/DOMException.hpp>
#include <xercesc/framework/MemBufInputSource.hpp>
#include <xercesc/framework/XMLNotationDecl.hpp>
#include <xercesc/framework/XMLValidityCodes.hpp>
#include <xercesc/internal/XMLScanner.hpp>
#include <xercesc/parsers/XercesDOMParser.hpp>
#include <xercesc/sax/ErrorHandler.hpp>
#include <xercesc/sax/Locator.hpp>
#include <xercesc/sax/SAXParseException.hpp>
#include <xercesc/util/OutOfMemoryException.hpp>
#include <xercesc/util/SecurityManager.hpp>
#include <xercesc/util/XMLEntityResolver.hpp>
#include <xercesc/util/XMLException.hpp>
#include <xercesc/util/XMLResourceIdentifier.hpp>
#include <xercesc/validators/DTD/DTDElementDecl.hpp>
#include <xercesc/validators/DTD/DTDEntityDecl.hpp>

#include "host/interfaces/VkException.h"
#include "host/xml/DocumentBudget.h"
#include "host/xml/ElementLines.h"
#include "host/xml/XmlText.h"

using namespace xercesc;

namespace {

// At most this many entity expansions per document. Entity declarations
// are refused anyway (see SafeDomParser::entityDecl); this bounds anything
// that slips past.
constexpr XMLSize_t kEntityExpansionLimit = 1000;

// Thrown inside the parse to stop it at the first refused construct;
// caught in Parse and turned into a VkException.
struct Refusal {
  std::string message;
};

// A DOM parser that records each element's line in ElementLines (read by
// BaseTranslator::GetLineNumber), refuses every declaration of a DOCTYPE
// and refuses the document once it exceeds its DocumentBudget.
class SafeDomParser : public XercesDOMParser {
 public:
  SafeDomParser(std::string sourceName, const DocumentLimits& limits, std::size_t bytes)
      : sourceName_(std::move(sourceName)), budget_(limits, bytes) {}

  void startElement(const XMLElementDecl& elemDecl, const unsigned int urlId,
                    const XMLCh* const elemPrefix, const RefVectorOf<XMLAttr>& attrList,
                    const XMLSize_t attrCount, const bool isEmpty, const bool isRoot) override {
    // Counted before the element is built. The base class ends an empty
    // element itself, through endElement, which counts the level back.
    Spend(budget_.StartElement(elemDecl.getFullName(), attrCount));
    for (XMLSize_t i = 0; i < attrCount; ++i) {
      Spend(budget_.AddAttributeName(attrList.elementAt(i)->getQName()));
    }
    XercesDOMParser::startElement(elemDecl, urlId, elemPrefix, attrList, attrCount, isEmpty,
                                  isRoot);
    const Locator* locator = getScanner()->getLocator();
    const DOMNode* node = getCurrentNode();
    if (locator != nullptr && node != nullptr && locator->getLineNumber() <= INT32_MAX) {
      lines_->Add(node, static_cast<int>(locator->getLineNumber()));
    }
  }

  void endElement(const XMLElementDecl& elemDecl, const unsigned int urlId, const bool isRoot,
                  const XMLCh* const elemPrefix) override {
    XercesDOMParser::endElement(elemDecl, urlId, isRoot, elemPrefix);
    budget_.EndElement();
  }

  void docPI(const XMLCh* const target, const XMLCh* const data) override {
    Spend(budget_.AddNode());
    XercesDOMParser::docPI(target, data);
  }

  void docCharacters(const XMLCh* const chars, const XMLSize_t length,
                     const bool cdataSection) override {
    // Text continues the current text node, if there is one; a CDATA
    // section is a node of its own.
    const DOMNode* current = getCurrentNode();
    if (cdataSection || current == nullptr || current->getNodeType() != DOMNode::TEXT_NODE) {
      Spend(budget_.AddNode());
    }
    XercesDOMParser::docCharacters(chars, length, cdataSection);
  }

  void entityDecl(const DTDEntityDecl& decl, const bool isPEDecl, const bool isIgnored) override {
    (void)isPEDecl;
    (void)isIgnored;
    std::string name = xmltext::ToUtf8(decl.getName());
    if (decl.isExternal()) {
      throw Refusal{Where() + "external entity '" + name + "' (" +
                    xmltext::ToUtf8(decl.getSystemId()) + "): external entities are not allowed"};
    }
    throw Refusal{Where() + "entity '" + name + "': entity declarations are not allowed"};
  }

  // The other declarations are refused too: an ATTLIST as it starts,
  // before its defaults are read (each would be copied into every element
  // of that name), an ELEMENT or a NOTATION once read.
  void startAttList(const DTDElementDecl& elemDecl) override {
    RefuseDeclaration("ATTLIST", elemDecl.getFullName());
  }
  void elementDecl(const DTDElementDecl& decl, const bool isIgnored) override {
    (void)isIgnored;
    RefuseDeclaration("ELEMENT", decl.getFullName());
  }
  void notationDecl(const XMLNotationDecl& decl, const bool isIgnored) override {
    (void)isIgnored;
    RefuseDeclaration("NOTATION", decl.getName());
  }

  // A DOCTYPE that names an external DTD is refused: the DTD is never read,
  // and a document that relies on one is not read without it.
  void doctypeDecl(const DTDElementDecl& elemDecl, const XMLCh* const publicId,
                   const XMLCh* const systemId, const bool hasIntSubset,
                   const bool hasExtSubset) override {
    if ((systemId != nullptr && *systemId != 0) || (publicId != nullptr && *publicId != 0)) {
      std::string id = xmltext::ToUtf8(systemId != nullptr && *systemId != 0 ? systemId : publicId);
      throw Refusal{Where() + "external DTD '" + id + "': external DTDs are not allowed"};
    }
    XercesDOMParser::doctypeDecl(elemDecl, publicId, systemId, hasIntSubset, hasExtSubset);
  }

  // The lines of the elements read so far; the caller takes them with the
  // document.
  std::unique_ptr<ElementLines> TakeLines() { return std::move(lines_); }

  // "<source>:<line>:<column>: " at the scanner's position.
  std::string Where() const {
    const Locator* locator = getScanner()->getLocator();
    std::ostringstream out;
    out << sourceName_ << ':' << (locator ? locator->getLineNumber() : 0) << ':'
        << (locator ? locator->getColumnNumber() : 0) << ": ";
    return out.str();
  }

 private:
  [[noreturn]] void RefuseDeclaration(const char* keyword, const XMLCh* name) const {
    throw Refusal{Where() + "<!" + keyword + " " + xmltext::ToUtf8(name) +
                  ">: declarations are not allowed in a DOCTYPE"};
  }

  // Refuses the document when `refusal` says why.
  void Spend(const std::string& refusal) const {
    if (!refusal.empty()) throw Refusal{Where() + refusal};
  }

  std::string sourceName_;
  DocumentBudget budget_;
  std::unique_ptr<ElementLines> lines_ = std::make_unique<ElementLines>();
};

// Refuses every external entity and external DTD.
class RefusingResolver : public XMLEntityResolver {
 public:
  explicit RefusingResolver(const SafeDomParser* parser) : parser_(parser) {}

  InputSource* resolveEntity(XMLResourceIdentifier* id) override {
    throw Refusal{parser_->Where() + "external entity '" + xmltext::ToUtf8(id->getSystemId()) +
                  "': external entities are not allowed"};
  }

 private:
  const SafeDomParser* parser_;
};

// Keeps the first error; the parse stops at a fatal error by itself.
class FirstErrorHandler : public ErrorHandler {
 public:
  explicit FirstErrorHandler(std::string sourceName) : sourceName_(std::move(sourceName)) {}

  void warning(const SAXParseException&) override {}
  void error(const SAXParseException& e) override { Keep(e); }
  void fatalError(const SAXParseException& e) override { Keep(e); }
  void resetErrors() override {}

  const std::string& GetMessage() const { return message_; }

 private:
  void Keep(const SAXParseException& e) {
    if (!message_.empty()) return;
    std::ostringstream out;
    out << sourceName_ << ':' << e.getLineNumber() << ':' << e.getColumnNumber() << ": "
        << xmltext::ToUtf8(e.getMessage());
    message_ = out.str();
  }

  std::string sourceName_;
  std::string message_;
};

std::string TooLarge(const std::string& sourceName, std::size_t limit) {
  const std::string size = limit % (1 << 20) == 0 ? std::to_string(limit >> 20) + " MiB"
                                                  : std::to_string(limit) + " bytes";
  return sourceName + ": the document is larger than " + size + ": larger documents are not read";
}

// Reads all of `in`, but never more than one byte past the size limit.
std::string ReadBounded(std::istream& in, const std::string& sourceName, std::size_t limit) {
  std::string text;
  char buffer[1 << 16];
  while (text.size() <= limit && in.read(buffer, sizeof buffer).gcount() > 0) {
    text.append(buffer, static_cast<std::size_t>(in.gcount()));
  }
  if (in.bad()) throw VkException(VkException::MalformedXml, "cannot read " + sourceName);
  return text;
}

DocumentPtr Parse(const std::string& text, const std::string& sourceName,
                  const DocumentLimits& limits) {
  if (text.size() > limits.maxDocumentBytes) {
    throw VkException(VkException::MalformedXml, TooLarge(sourceName, limits.maxDocumentBytes));
  }
  SecurityManager security;
  security.setEntityExpansionLimit(kEntityExpansionLimit);
  FirstErrorHandler errors(sourceName);
  SafeDomParser parser(sourceName, limits, text.size());
  RefusingResolver resolver(&parser);

  parser.setValidationScheme(XercesDOMParser::Val_Never);
  parser.setDoNamespaces(false);
  parser.setDoSchema(false);
  parser.setLoadSchema(false);
  parser.setLoadExternalDTD(false);
  parser.setDisableDefaultEntityResolution(true);
  parser.setCreateEntityReferenceNodes(false);
  parser.setCreateCommentNodes(false);  // nothing reads them; they would cost nodes
  parser.setSecurityManager(&security);
  parser.setXMLEntityResolver(&resolver);
  parser.setErrorHandler(&errors);

  MemBufInputSource input(reinterpret_cast<const XMLByte*>(text.data()), text.size(),
                          sourceName.c_str(), false);
  try {
    parser.parse(input);
  } catch (const Refusal& refusal) {
    throw VkException(VkException::MalformedXml, refusal.message);
  } catch (const XMLException& e) {
    throw VkException(VkException::MalformedXml,
                      sourceName + ": " + xmltext::ToUtf8(e.getMessage()));
  } catch (const DOMException& e) {
    throw VkException(VkException::MalformedXml,
                      sourceName + ": " + xmltext::ToUtf8(e.getMessage()));
  } catch (const OutOfMemoryException&) {
    throw VkException(VkException::MalformedXml, sourceName + ": out of memory");
  }
  if (!errors.GetMessage().empty()) {
    throw VkException(VkException::MalformedXml, errors.GetMessage());
  }
  DocumentPtr document(parser.adoptDocument());
  if (!document || document->getDocumentElement() == nullptr) {
    throw VkException(VkException::MalformedXml, sourceName + ": no root element");
  }
  ElementLines::Attach(parser.TakeLines(), *document);
  return document;
}

}  // namespace

void DocumentReleaser::operator()(DOMDocument* document) const {
  if (document == nullptr) return;
  ElementLines::Detach(*document);
  document->release();
}

DocumentPtr PmmlParser::ParseFile(const std::string& path, const DocumentLimits& limits) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw VkException(VkException::MalformedXml, "cannot open " + path);
  // A file known to be too large is refused unread; one whose size is not
  // known (a pipe) is read up to the limit.
  const std::streamoff size = in.seekg(0, std::ios::end).tellg();
  if (size > static_cast<std::streamoff>(limits.maxDocumentBytes)) {
    throw VkException(VkException::MalformedXml, TooLarge(path, limits.maxDocumentBytes));
  }
  in.clear();
  if (size >= 0) in.seekg(0, std::ios::beg);
  return ParseStream(in, path, limits);
}

DocumentPtr PmmlParser::ParseText(const std::string& text, const std::string& sourceName,
                                  const DocumentLimits& limits) {
  return Parse(text, sourceName, limits);
}

DocumentPtr PmmlParser::ParseStream(std::istream& in, const std::string& sourceName,
                                    const DocumentLimits& limits) {
  return Parse(ReadBounded(in, sourceName, limits.maxDocumentBytes), sourceName, limits);
}
