#include "bayesnet/reader/LinkSourceReader.h"

#include <string>
#include <vector>

#include "bayesnet/reader/FieldText.h"
#include "bayesnet/reader/PmmlVocabulary.h"
#include "host/interfaces/VkException.h"

using xercesc::DOMElement;

namespace {

constexpr std::size_t kArcFields = 3;

}  // namespace

void LinkSourceReader::Read(const DOMElement* linkSource) {
  const DOMElement* names = Dom::GetFirstChildElt(linkSource);
  if (names == nullptr || !Dom::IsEqual(names->getTagName(), pmml::kNames)) {
    throw VkException(VkException::StructureError,
                      "<names must be the first element within LinkSource.");
  }

  auto& links = model_.GetLinkSource();
  std::vector<std::string> fields;
  std::string text;
  for (const DOMElement* row = Dom::GetNextSiblingElt(names); row != nullptr;
       row = Dom::GetNextSiblingElt(row)) {
    if (!Dom::IsEqual(row->getTagName(), pmml::kRow)) {
      throw VkException(VkException::StructureError, "Only row elements are allowed here.");
    }
    ElementText(row, text);
    if (!fieldtext::SplitEscaped(fields, text) || fields.size() != kArcFields) {
      throw VkException(VkException::InvalidContent, "The format of content is invalid.");
    }
    std::string parent = fieldtext::TrimBlanks(fields[0]);
    std::string child = fieldtext::TrimBlanks(fields[1]);
    const std::string flag = fieldtext::TrimBlanks(fields[2]);
    // Compared as written, before derived fields are resolved.
    if (parent == child) {
      throw VkException(VkException::StructureError, "Loop is not allowed.");
    }
    if (flag != pmml::kYes) continue;
    parent = fields_.Resolve(parent);
    child = fields_.Resolve(child);
    links[parent][child] = BayesNetModel::ArcOut;
    links[child][parent] = BayesNetModel::ArcIn;
    model_.NoteArc(parent, child);
  }
}
