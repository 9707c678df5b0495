#include "host/xml/ElementLines.h"

#include <algorithm>
#include <mutex>
#include <unordered_map>

using xercesc::DOMDocument;
using xercesc::DOMNode;

namespace {

std::uintptr_t Address(const DOMNode* node) { return reinterpret_cast<std::uintptr_t>(node); }

// The lines of every parsed document alive, by document. Kept here rather
// than as the document's user data: a document with user data has Xerces
// visit every one of its nodes when it is released.
struct Registry {
  std::mutex mutex;
  std::unordered_map<const DOMDocument*, std::unique_ptr<ElementLines>> lines;
};

Registry& Documents() {
  static Registry registry;
  return registry;
}

}  // namespace

void ElementLines::Add(const DOMNode* element, int line) {
  lines_.emplace_back(Address(element), line);
}

void ElementLines::Attach(std::unique_ptr<ElementLines> lines, DOMDocument& document) {
  std::sort(lines->lines_.begin(), lines->lines_.end());
  Registry& registry = Documents();
  std::lock_guard<std::mutex> lock(registry.mutex);
  registry.lines[&document] = std::move(lines);
}

std::unique_ptr<ElementLines> ElementLines::Detach(DOMDocument& document) {
  Registry& registry = Documents();
  std::lock_guard<std::mutex> lock(registry.mutex);
  const auto found = registry.lines.find(&document);
  if (found == registry.lines.end()) return nullptr;
  std::unique_ptr<ElementLines> lines = std::move(found->second);
  registry.lines.erase(found);
  return lines;
}

int ElementLines::Find(const DOMNode* node) {
  if (node == nullptr) return 0;
  const DOMDocument* document = node->getOwnerDocument();
  if (document == nullptr) return 0;
  Registry& registry = Documents();
  std::lock_guard<std::mutex> lock(registry.mutex);
  const auto entry = registry.lines.find(document);
  if (entry == registry.lines.end()) return 0;
  const ElementLines* lines = entry->second.get();
  const auto found = std::lower_bound(lines->lines_.begin(), lines->lines_.end(),
                                      std::make_pair(Address(node), 0));
  return found != lines->lines_.end() && found->first == Address(node) ? found->second : 0;
}
