#include "host/xml/DocumentBudget.h"

#include <string_view>

#include "host/xml/PmmlParser.h"
#include "host/xml/XmlText.h"

namespace {

// A name for a message: at most about 64 bytes of it.
std::string Shortened(const XMLCh* name) {
  std::string text = xmltext::ToUtf8(name);
  if (text.size() <= 64) return text;
  std::size_t end = 64;
  while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
  return text.substr(0, end) + "...";
}

}  // namespace

std::string DocumentBudget::TooManyNodes() const {
  return "more than " + std::to_string(maxNodes_) +
         " nodes (elements, attributes, text, CDATA sections, processing instructions): "
         "larger documents are not read";
}

std::string DocumentBudget::StartElement(const XMLCh* name, std::size_t attributes) {
  if (++depth_ > limits_.maxDepth) {
    return "element <" + Shortened(name) + "> is nested more than " +
           std::to_string(limits_.maxDepth) + " levels deep: deeper documents are not read";
  }
  nodes_ += 1 + attributes;
  if (nodes_ > maxNodes_) return TooManyNodes();
  return AddName(name);
}

std::string DocumentBudget::AddAttributeName(const XMLCh* name) { return AddName(name); }

void DocumentBudget::EndElement() { --depth_; }

std::string DocumentBudget::AddNode() {
  return ++nodes_ > maxNodes_ ? TooManyNodes() : std::string();
}

std::string DocumentBudget::AddName(const XMLCh* name) {
  std::basic_string_view<XMLCh> view(name);
  if (names_.find(view) != names_.end()) return std::string();
  if (names_.size() == limits_.maxNames) {
    return "more than " + std::to_string(limits_.maxNames) +
           " distinct element and attribute names: such documents are not read";
  }
  names_.emplace(view);
  return std::string();
}
