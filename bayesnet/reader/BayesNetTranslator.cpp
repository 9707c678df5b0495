#include "bayesnet/reader/BayesNetTranslator.h"

#include <memory>
#include <vector>

#include "bayesnet/reader/ConditionalTablesReader.h"
#include "bayesnet/reader/DiscretizeReader.h"
#include "bayesnet/reader/FieldResolver.h"
#include "bayesnet/reader/LinkSourceReader.h"
#include "bayesnet/reader/MiningSchemaReader.h"
#include "bayesnet/reader/PmmlVocabulary.h"
#include "host/interfaces/VkException.h"

using xercesc::DOMDocument;
using xercesc::DOMElement;
using xercesc::DOMNode;

namespace {

// The version reported when the document names none.
constexpr char kDefaultVersion[] = "3.1";

// Owns the model that one ParseFromTree call builds until the call hands it
// to its caller. While it owns the model, the translator's pointer `slot`
// points at it; if the call fails, the model is deleted and `slot` cleared.
class ModelUnderConstruction {
 public:
  explicit ModelUnderConstruction(BayesNetModel*& slot)
      : slot_(slot), model_(std::make_unique<BayesNetModel>()) {
    slot_ = model_.get();
  }
  ~ModelUnderConstruction() {
    if (model_ != nullptr) slot_ = nullptr;
  }
  ModelUnderConstruction(const ModelUnderConstruction&) = delete;
  ModelUnderConstruction& operator=(const ModelUnderConstruction&) = delete;

  // Gives up ownership; `slot` keeps pointing at the model.
  BayesNetModel* Release() { return model_.release(); }

 private:
  BayesNetModel*& slot_;
  std::unique_ptr<BayesNetModel> model_;
};

// The first element named `tag` below `root`, in document order (as
// getElementsByTagName(tag)->item(0) finds it), or null. Walks with a stack
// of the siblings still to visit rather than through parent links, which
// Xerces finds through a costly cast.
const DOMElement* FirstElementNamed(const DOMNode* root, const char* tag) {
  std::vector<const DOMNode*> pending;
  const DOMNode* node = root->getFirstChild();
  while (node != nullptr) {
    if (node->getNodeType() == DOMNode::ELEMENT_NODE) {
      const auto* element = static_cast<const DOMElement*>(node);
      if (BaseTranslator::IsEqual(element->getTagName(), tag)) return element;
    }
    const DOMNode* child = node->getFirstChild();
    const DOMNode* next = node->getNextSibling();
    if (child != nullptr) {
      if (next != nullptr) pending.push_back(next);
      node = child;
    } else if (next != nullptr) {
      node = next;
    } else if (!pending.empty()) {
      node = pending.back();
      pending.pop_back();
    } else {
      node = nullptr;
    }
  }
  return nullptr;
}

}  // namespace

BayesNetTranslator::BayesNetTranslator() : PMMLTranslator(""), model_(nullptr) {}

BayesNetTranslator::~BayesNetTranslator() = default;

std::string BayesNetTranslator::Transcode(const XMLCh* text) const {
  return transcoder_->transcodeTo(text);
}

ScoreModel* BayesNetTranslator::ParseFromTree(DOMDocument* document, const std::string& encoding) {
  CreateTranscoder(encoding);
  const DOMElement* root = document->getDocumentElement();

  std::string version = kDefaultVersion;
  if (const DOMElement* application = FirstElementNamed(document, pmml::kApplication)) {
    std::string text = Transcode(GetAttribute(application, pmml::kVersion));
    if (!text.empty()) version = text;
  }

  ModelUnderConstruction building(model_);
  model_->SetVersionInfo(VersionInfo(version));

  ParseLearningSettings(root);

  // The model owns both dictionaries from the moment they exist.
  ScoreDictionary* dictionary = ParseDictionary(GetChildByTagForced(root, pmml::kDataDictionary));
  model_->SetScoreDictionary(dictionary);

  TransformationDictionary* transformation = nullptr;
  CutPointMap cutPoints;
  if (const DOMElement* element = GetChildByTag(root, pmml::kTransformationDictionary)) {
    std::unique_ptr<TransformationDictionary> derived(
        HandleTransformationDictionary(element, dictionary));
    derived->SetUpDerivedCaseRecord();
    transformation = derived.get();
    model_->SetTransformationScoreDictionary(derived.release());
    cutPoints = DiscretizeReader(*transcoder_).Read(element);
  }

  const DOMElement* modelElement = FirstElementNamed(document, pmml::kBayesNetModel);
  if (modelElement == nullptr) {
    throw VkException(VkException::StructureError, "<BayesNetModel> is required!");
  }

  std::vector<std::string> predictorNames;
  const std::string target =
      MiningSchemaReader(*model_, *transcoder_, dictionary, transformation)
          .Read(GetChildByTagForced(modelElement, pmml::kMiningSchema), predictorNames);
  // Without a predicted field there is no target variable to ask.
  bool targetHasCategories = false;
  if (!target.empty()) {
    const ScoreDictVar* targetVar = dictionary->GetVariable(target);
    targetHasCategories = targetVar != nullptr && targetVar->GetNumCategories() > 0;
  }

  const FieldResolver fields(*model_, dictionary, transformation);
  LinkSourceReader linkSource(*model_, *transcoder_, fields);
  ConditionalTablesReader tables(*model_, *transcoder_, fields, dictionary, transformation,
                                 cutPoints, predictorNames);
  bool sawLinkSource = false;
  bool sawConditionalTables = false;
  for (const DOMElement* child = GetFirstChildElt(modelElement); child != nullptr;
       child = GetNextSiblingElt(child)) {
    if (IsEqual(child->getTagName(), pmml::kLinkSource)) {
      sawLinkSource = true;
      linkSource.Read(child);
    } else if (IsEqual(child->getTagName(), pmml::kConditionalTables)) {
      sawConditionalTables = true;
      tables.Read(child);
    } else if (IsEqual(child->getTagName(), pmml::kExtension) &&
               IsEqual(GetAttribute(child, pmml::kExtender), pmml::kConverterExtender)) {
      if (const DOMElement* source = GetChildByTag(child, pmml::kSource)) {
        model_->SetSource(Transcode(GetAttribute(source, pmml::kModelType)),
                          Transcode(GetAttribute(source, pmml::kInferenceMethod)));
      }
    }
  }

  if (!targetHasCategories || !sawLinkSource || !sawConditionalTables) {
    throw VkException(VkException::StructureError,
                      "At least one <MiningSchema>, one <LinkSource>, one <ConditionalTables> "
                      "element is required.");
  }
  model_->Prepare();  // from here on the model is read-only
  return building.Release();
}

void BayesNetTranslator::ParseLearningSettings(const DOMElement* root) {
  const DOMElement* element = GetChildByTag(root, pmml::kMiningBuildTask);
  if (element != nullptr) element = GetChildByTag(element, pmml::kExtension);
  if (element != nullptr) element = GetChildByTag(element, pmml::kBayesNetSettings);
  if (element != nullptr) element = GetChildByTag(element, pmml::kParameterLearning);
  if (element == nullptr) return;

  const XMLCh* method = GetAttribute(element, pmml::kMethod);
  BayesNetModel::ParamLearnMethod learnMethod = BayesNetModel::MaxLikelihood;
  if (IsEqual(method, pmml::kMaxLikelihood)) {
    learnMethod = BayesNetModel::MaxLikelihood;
  } else if (IsEqual(method, pmml::kAdjustedBayes)) {
    learnMethod = BayesNetModel::AdjustedBayes;
  } else if (IsEqual(method, pmml::kBayesMethod)) {
    learnMethod = BayesNetModel::BayesMethod;
  }
  model_->SetParamLearnMethod(learnMethod);
}
