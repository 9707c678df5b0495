#include "bayesnet/reader/MiningSchemaReader.h"

#include <xercesc/dom/DOMNodeList.hpp>

#include "bayesnet/reader/PmmlVocabulary.h"
#include "host/interfaces/VkException.h"

using xercesc::DOMElement;
using xercesc::DOMNodeList;

namespace {

VkException NotDefined(const std::string& name) {
  return VkException(VkException::InvalidContent, name + " is not defined!");
}

}  // namespace

std::string MiningSchemaReader::Read(const DOMElement* miningSchema,
                                     std::vector<std::string>& predictorNames) {
  std::string target;
  bool targetSeen = false;
  for (const DOMElement* child = Dom::GetFirstChildElt(miningSchema); child != nullptr;
       child = Dom::GetNextSiblingElt(child)) {
    if (Dom::IsEqual(child->getTagName(), pmml::kExtension)) {
      ReadDerivedPredictors(child, predictorNames);
      continue;
    }

    // Every other child is read as a MiningField.
    const std::string name = Transcode(Dom::GetAttributeForced(child, pmml::kName));
    const XMLCh* usage = Dom::GetAttribute(child, pmml::kUsageType);
    const ScoreDictVar* variable = dictionary_->GetVariable(name);
    if (variable == nullptr) throw NotDefined(name);

    if (Dom::IsEqual(usage, pmml::kActive) || Dom::IsEqual(usage, "")) {
      model_.SetVarRole(name, ScoreModel::InputRole);
      predictorNames.push_back(name);
    } else if (Dom::IsEqual(usage, pmml::kPredicted)) {
      if (targetSeen) {
        throw VkException(VkException::InvalidStructure, "Only one target is allowed.");
      }
      model_.SetVarRole(name, ScoreModel::TargetRole);
      model_.SetTargetVar(variable);
      target = name;
      targetSeen = true;
    }
    // A derived field standing for this data field, whatever its usage.
    ReadDerivedLinks(child, name);
  }
  return target;
}

void MiningSchemaReader::ReadDerivedPredictors(const DOMElement* extension,
                                               std::vector<std::string>& predictorNames) const {
  if (transformation_ == nullptr) return;
  if (!Dom::IsEqual(Dom::GetAttribute(extension, pmml::kExtender), pmml::kHostExtender) ||
      !Dom::IsEqual(Dom::GetAttribute(extension, pmml::kName), pmml::kDerivedFields)) {
    return;
  }
  DOMNodeList* fields = Dom::GetElementsByTagName(extension, pmml::kMiningField);
  const XMLSize_t count = fields == nullptr ? 0 : fields->getLength();
  if (count == 0) {
    throw VkException(VkException::InvalidContent, "<MiningField> is required!");
  }
  for (XMLSize_t i = 0; i < count; ++i) {
    const auto* field = static_cast<const DOMElement*>(fields->item(i));
    const std::string name = Transcode(Dom::GetAttributeForced(field, pmml::kName));
    if (transformation_->GetVariable(name) == nullptr) throw NotDefined(name);
    predictorNames.push_back(name);
  }
}

void MiningSchemaReader::ReadDerivedLinks(const DOMElement* miningField,
                                          const std::string& dataField) {
  for (const DOMElement* extension = Dom::GetFirstChildElt(miningField); extension != nullptr;
       extension = Dom::GetNextSiblingElt(extension)) {
    if (!Dom::IsEqual(extension->getTagName(), pmml::kExtension)) continue;
    const DOMElement* reference = Dom::GetFirstChildElt(extension);
    if (reference == nullptr || !Dom::IsEqual(reference->getTagName(), pmml::kDerivedFieldRef)) {
      continue;
    }
    const std::string derived = Transcode(Dom::GetAttribute(reference, pmml::kName));
    if (transformation_ == nullptr || transformation_->GetVariable(derived) == nullptr) {
      throw NotDefined(derived);
    }
    model_.SetDerivedToDataField(derived, dataField);
  }
}
