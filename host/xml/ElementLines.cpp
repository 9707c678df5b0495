#include "host/xml/ElementLines.h"

#include <algorithm>

#include "host/xml/XmlText.h"

using xercesc::DOMDocument;
using xercesc::DOMNode;

namespace {

std::uintptr_t Address(const DOMNode* node) { return reinterpret_cast<std::uintptr_t>(node); }

}  // namespace

void ElementLines::Add(const DOMNode* element, int line) {
  lines_.emplace_back(Address(element), line);
}

void ElementLines::Attach(std::unique_ptr<ElementLines> lines, DOMDocument& document) {
  std::sort(lines->lines_.begin(), lines->lines_.end());
  document.setUserData(xmltext::LineKey(), lines.release(), nullptr);
}

std::unique_ptr<ElementLines> ElementLines::Detach(DOMDocument& document) {
  std::unique_ptr<ElementLines> lines(
      static_cast<ElementLines*>(document.getUserData(xmltext::LineKey())));
  if (lines) document.setUserData(xmltext::LineKey(), nullptr, nullptr);
  return lines;
}

int ElementLines::Find(const DOMNode* node) {
  if (node == nullptr) return 0;
  const DOMDocument* document = node->getOwnerDocument();
  if (document == nullptr) return 0;
  const auto* lines = static_cast<const ElementLines*>(document->getUserData(xmltext::LineKey()));
  if (lines == nullptr) return 0;
  const auto found =
      std::lower_bound(lines->lines_.begin(), lines->lines_.end(), std::make_pair(Address(node), 0));
  return found != lines->lines_.end() && found->first == Address(node) ? found->second : 0;
}
