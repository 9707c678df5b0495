// The MiningSchema reader: target, predictor names, derived-field links;
// and the resolution of model-element names to data fields.
#include <xercesc/dom/DOMNodeList.hpp>

#include "bayesnet/reader/BayesNetTranslator.h"
#include "bayesnet/reader/PmmlVocabulary.h"
#include "host/interfaces/VkException.h"

using xercesc::DOMElement;
using xercesc::DOMNodeList;

namespace {

VkException NotDefined(const std::string& name) {
  return VkException(VkException::InvalidContent, name + " is not defined!");
}

}  // namespace

std::string BayesNetTranslator::ParseMiningSchema(const DOMElement* miningSchema,
                                                  const TransformationDictionary* transformation,
                                                  const ScoreDictionary* dictionary,
                                                  std::vector<std::string>& predictorNames) {
  std::string target;
  bool targetSeen = false;
  for (const DOMElement* child = GetFirstChildElt(miningSchema); child != nullptr;
       child = GetNextSiblingElt(child)) {
    if (IsEqual(child->getTagName(), pmml::kExtension)) {
      // Derived fields listed as predictors, in the host dialect's extension.
      if (transformation == nullptr) continue;
      if (!IsEqual(GetAttribute(child, pmml::kExtender), pmml::kHostExtender) ||
          !IsEqual(GetAttribute(child, pmml::kName), pmml::kDerivedFields)) {
        continue;
      }
      DOMNodeList* fields = GetElementsByTagName(child, pmml::kMiningField);
      const XMLSize_t count = fields == nullptr ? 0 : fields->getLength();
      if (count == 0) {
        throw VkException(VkException::InvalidContent, "<MiningField> is required!");
      }
      for (XMLSize_t i = 0; i < count; ++i) {
        const auto* field = static_cast<const DOMElement*>(fields->item(i));
        const std::string name = Transcode(GetAttributeForced(field, pmml::kName));
        if (transformation->GetVariable(name) == nullptr) throw NotDefined(name);
        predictorNames.push_back(name);
      }
      continue;
    }

    // Every other child is read as a MiningField.
    const std::string name = Transcode(GetAttributeForced(child, pmml::kName));
    const XMLCh* usage = GetAttribute(child, pmml::kUsageType);
    const ScoreDictVar* variable = dictionary->GetVariable(name);
    if (variable == nullptr) throw NotDefined(name);

    if (IsEqual(usage, pmml::kActive) || IsEqual(usage, "")) {
      model_->SetVarRole(name, ScoreModel::InputRole);
      predictorNames.push_back(name);
    } else if (IsEqual(usage, pmml::kPredicted)) {
      if (targetSeen) {
        throw VkException(VkException::InvalidStructure, "Only one target is allowed.");
      }
      model_->SetVarRole(name, ScoreModel::TargetRole);
      model_->SetTargetVar(variable);
      target = name;
      targetSeen = true;
    }

    // A derived field standing for this data field, whatever its usage.
    for (const DOMElement* extension = GetFirstChildElt(child); extension != nullptr;
         extension = GetNextSiblingElt(extension)) {
      if (!IsEqual(extension->getTagName(), pmml::kExtension)) continue;
      const DOMElement* reference = GetFirstChildElt(extension);
      if (reference == nullptr || !IsEqual(reference->getTagName(), pmml::kDerivedFieldRef)) {
        continue;
      }
      const std::string derived = Transcode(GetAttribute(reference, pmml::kName));
      if (transformation == nullptr || transformation->GetVariable(derived) == nullptr) {
        throw NotDefined(derived);
      }
      model_->SetDerivedToDataField(derived, name);
    }
  }
  return target;
}

std::string BayesNetTranslator::ResolveFieldName(const std::string& name,
                                                 const TransformationDictionary* transformation,
                                                 const ScoreDictionary* dictionary) {
  if (dictionary->GetVariable(name) != nullptr) return name;
  if (transformation != nullptr && transformation->GetVariable(name) != nullptr) {
    return model_->GetDataField(name);
  }
  throw VkException(VkException::NameNotFound, name + "Variable name not found in dictionary.");
}
