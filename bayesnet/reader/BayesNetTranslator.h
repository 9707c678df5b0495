#ifndef BAYESNET_BAYESNETTRANSLATOR_H_
#define BAYESNET_BAYESNETTRANSLATOR_H_

#include <string>

#include <xercesc/dom/DOMDocument.hpp>
#include <xercesc/dom/DOMElement.hpp>

#include "bayesnet/model/BayesNetModel.h"
#include "host/xml/PMMLTranslator.h"

// Reads a PMML document holding a BayesNetModel element into a new
// BayesNetModel. Every fault of the document is raised as a VkException
// thrown by value; nothing here catches it.
//
// Ownership: ParseFromTree returns a model that the caller owns. While a
// call runs, `model_` points at the model being built; a failed call
// deletes that model and leaves `model_` null, a successful one leaves
// `model_` pointing at the returned model, which the translator never
// deletes. The dictionaries that the host parses are handed to the model
// as soon as they exist and die with it.
//
// One call at a time per translator. This class walks the document and
// reads the learning settings; each element of the model has its own
// reader: DiscretizeReader, MiningSchemaReader, LinkSourceReader and
// ConditionalTablesReader.
class BayesNetTranslator : public PMMLTranslator {
 public:
  BayesNetTranslator();
  ~BayesNetTranslator() override;

  BayesNetTranslator(const BayesNetTranslator&) = delete;
  BayesNetTranslator& operator=(const BayesNetTranslator&) = delete;

  using BaseTranslator::ParseFromTree;
  ScoreModel* ParseFromTree(xercesc::DOMDocument* document, const std::string& encoding) override;

  // The model of the last successful ParseFromTree (or of the one running);
  // null before the first call and after a failed one. Not owned.
  BayesNetModel* GetModel() const { return model_; }

 private:
  std::string Transcode(const XMLCh* text) const;

  // MiningBuildTask/Extension/BayesNetSettings/ParameterLearning@method.
  void ParseLearningSettings(const xercesc::DOMElement* root);

  BayesNetModel* model_;  // not owned: see the class comment
};

#endif  // BAYESNET_BAYESNETTRANSLATOR_H_
