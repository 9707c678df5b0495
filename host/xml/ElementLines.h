#ifndef MODELCORE_ELEMENTLINES_H_
#define MODELCORE_ELEMENTLINES_H_

#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

#include <xercesc/dom/DOMDocument.hpp>
#include <xercesc/dom/DOMNode.hpp>

// The line of each element of one parsed document (16 bytes an element),
// attached to the document in a registry of this library's (not as Xerces
// user data, which would have Xerces visit every node on release). PmmlParser fills and attaches
// it; DocumentReleaser detaches and deletes it. Internal to modelcore.
class ElementLines {
 public:
  // Elements may come in any order; Attach sorts them.
  void Add(const xercesc::DOMNode* element, int line);

  // Hands `lines` to `document`; Detach gives them back.
  static void Attach(std::unique_ptr<ElementLines> lines, xercesc::DOMDocument& document);
  static std::unique_ptr<ElementLines> Detach(xercesc::DOMDocument& document);

  // The line of `node` in the document it belongs to; 0 when the node is
  // not an element of a parsed document.
  static int Find(const xercesc::DOMNode* node);

 private:
  std::vector<std::pair<std::uintptr_t, int>> lines_;  // element address, line
};

#endif  // MODELCORE_ELEMENTLINES_H_
