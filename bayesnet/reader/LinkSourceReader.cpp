// The LinkSource reader: rows "parent; child; flag" become arcs.
#include "bayesnet/reader/BayesNetTranslator.h"
#include "bayesnet/reader/PmmlVocabulary.h"
#include "host/interfaces/VkException.h"

using xercesc::DOMElement;

namespace {

constexpr std::size_t kArcFields = 3;

}  // namespace

void BayesNetTranslator::ParseLinkSource(const DOMElement* linkSource,
                                         const TransformationDictionary* transformation,
                                         const ScoreDictionary* dictionary) {
  const DOMElement* names = GetFirstChildElt(linkSource);
  if (names == nullptr || !IsEqual(names->getTagName(), pmml::kNames)) {
    throw VkException(VkException::StructureError,
                      "<names must be the first element within LinkSource.");
  }

  auto& links = model_->GetLinkSource();
  std::vector<std::string> fields;
  for (const DOMElement* row = GetNextSiblingElt(names); row != nullptr;
       row = GetNextSiblingElt(row)) {
    if (!IsEqual(row->getTagName(), pmml::kRow)) {
      throw VkException(VkException::StructureError, "Only row elements are allowed here.");
    }
    if (!SplitEscaped(fields, Transcode(row->getTextContent())) || fields.size() != kArcFields) {
      throw VkException(VkException::InvalidContent, "The format of content is invalid.");
    }
    std::string parent = TrimBlanks(fields[0]);
    std::string child = TrimBlanks(fields[1]);
    const std::string flag = TrimBlanks(fields[2]);
    // Compared as written, before derived fields are resolved.
    if (parent == child) {
      throw VkException(VkException::StructureError, "Loop is not allowed.");
    }
    if (flag != pmml::kYes) continue;
    parent = ResolveFieldName(parent, transformation, dictionary);
    child = ResolveFieldName(child, transformation, dictionary);
    links[parent][child] = BayesNetModel::ArcOut;
    links[child][parent] = BayesNetModel::ArcIn;
  }
}
