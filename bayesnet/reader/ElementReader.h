#ifndef BAYESNET_ELEMENTREADER_H_
#define BAYESNET_ELEMENTREADER_H_

#include <string>

#include <xercesc/dom/DOMElement.hpp>
#include <xercesc/util/XercesDefs.hpp>

#include "host/xml/BaseTranslator.h"
#include "host/xml/DeftTranscoder.h"

// The base of the element readers: the transcoder of the document being
// read, and the translator base's static DOM helpers as Dom::.
// REQUIRES: the transcoder outlives the reader.
class ElementReader {
 protected:
  using Dom = BaseTranslator;

  explicit ElementReader(const DeftTranscoder& transcoder) : transcoder_(transcoder) {}

  // DOM text in the document's encoding; null gives "".
  std::string Transcode(const XMLCh* text) const { return transcoder_.transcodeTo(text); }

  // The element's text content in the document's encoding, into `out`
  // (its capacity reused). An element whose one child is a text node, the
  // usual case, is read from that node without the copy getTextContent
  // makes in the document's heap.
  void ElementText(const xercesc::DOMElement* element, std::string& out) const {
    const xercesc::DOMNode* child = element->getFirstChild();
    if (child == nullptr) {
      out.clear();
    } else if (child->getNextSibling() == nullptr &&
               child->getNodeType() == xercesc::DOMNode::TEXT_NODE) {
      transcoder_.transcodeTo(child->getNodeValue(), out);
    } else {
      transcoder_.transcodeTo(element->getTextContent(), out);
    }
  }

 private:
  const DeftTranscoder& transcoder_;
};

#endif  // BAYESNET_ELEMENTREADER_H_
