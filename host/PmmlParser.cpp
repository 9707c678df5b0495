#include "host/PmmlParser.h"

#include <cstdint>
#include <fstream>
#include <iterator>
#include <sstream>

#include <xercesc/dom/DOMException.hpp>
#include <xercesc/framework/MemBufInputSource.hpp>
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
#include <xercesc/validators/DTD/DTDEntityDecl.hpp>

#include "host/VkException.h"
#include "host/XmlText.h"

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

// A DOM parser that records each element's line as user data (read by
// BaseTranslator::GetLineNumber) and refuses every entity declaration.
class SafeDomParser : public XercesDOMParser {
 public:
  explicit SafeDomParser(std::string sourceName) : sourceName_(std::move(sourceName)) {}

  void startElement(const XMLElementDecl& elemDecl, const unsigned int urlId,
                    const XMLCh* const elemPrefix, const RefVectorOf<XMLAttr>& attrList,
                    const XMLSize_t attrCount, const bool isEmpty, const bool isRoot) override {
    XercesDOMParser::startElement(elemDecl, urlId, elemPrefix, attrList, attrCount, isEmpty,
                                  isRoot);
    const Locator* locator = getScanner()->getLocator();
    DOMNode* node = getCurrentNode();
    if (locator != nullptr && node != nullptr) {
      auto line = static_cast<std::uintptr_t>(locator->getLineNumber());
      node->setUserData(xmltext::LineKey(), reinterpret_cast<void*>(line), nullptr);
    }
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

  // "<source>:<line>:<column>: " at the scanner's position.
  std::string Where() const {
    const Locator* locator = getScanner()->getLocator();
    std::ostringstream out;
    out << sourceName_ << ':' << (locator ? locator->getLineNumber() : 0) << ':'
        << (locator ? locator->getColumnNumber() : 0) << ": ";
    return out.str();
  }

 private:
  std::string sourceName_;
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

DocumentPtr Parse(const std::string& text, const std::string& sourceName) {
  SecurityManager security;
  security.setEntityExpansionLimit(kEntityExpansionLimit);
  FirstErrorHandler errors(sourceName);
  SafeDomParser parser(sourceName);
  RefusingResolver resolver(&parser);

  parser.setValidationScheme(XercesDOMParser::Val_Never);
  parser.setDoNamespaces(false);
  parser.setDoSchema(false);
  parser.setLoadSchema(false);
  parser.setLoadExternalDTD(false);
  parser.setDisableDefaultEntityResolution(true);
  parser.setCreateEntityReferenceNodes(false);
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
  return document;
}

}  // namespace

void DocumentReleaser::operator()(DOMDocument* document) const {
  if (document != nullptr) document->release();
}

DocumentPtr PmmlParser::ParseFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw VkException(VkException::MalformedXml, "cannot open " + path);
  return ParseStream(in, path);
}

DocumentPtr PmmlParser::ParseText(const std::string& text, const std::string& sourceName) {
  return Parse(text, sourceName);
}

DocumentPtr PmmlParser::ParseStream(std::istream& in, const std::string& sourceName) {
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) throw VkException(VkException::MalformedXml, "cannot read " + sourceName);
  return Parse(text, sourceName);
}
