#ifndef BAYESNET_MININGSCHEMAREADER_H_
#define BAYESNET_MININGSCHEMAREADER_H_

#include <string>
#include <vector>

#include <xercesc/dom/DOMElement.hpp>

#include "bayesnet/model/BayesNetModel.h"
#include "bayesnet/reader/ElementReader.h"
#include "host/data/TransformationDictionary.h"
#include "host/interfaces/ScoreDictionary.h"

// Reads a MiningSchema into the model: the role of every field, the one
// target, and the links from derived fields to the data fields they stand
// for. Faults raise VkException.
// REQUIRES: `dictionary` is not null; the model, the transcoder and both
// dictionaries outlive the reader (`transformation` may be null).
class MiningSchemaReader : private ElementReader {
 public:
  MiningSchemaReader(BayesNetModel& model, const DeftTranscoder& transcoder,
                     const ScoreDictionary* dictionary,
                     const TransformationDictionary* transformation)
      : ElementReader(transcoder),
        model_(model),
        dictionary_(dictionary),
        transformation_(transformation) {}

  // Sets roles, the target and the derived-field links on the model, fills
  // `predictorNames` in document order and returns the target's name ("" if
  // none is predicted).
  std::string Read(const xercesc::DOMElement* miningSchema,
                   std::vector<std::string>& predictorNames);

 private:
  // The names of the host dialect's DerivedFields extension, each a field
  // of the transformation dictionary.
  void ReadDerivedPredictors(const xercesc::DOMElement* extension,
                             std::vector<std::string>& predictorNames) const;
  // The derived fields that a MiningField's extensions link to `dataField`.
  void ReadDerivedLinks(const xercesc::DOMElement* miningField, const std::string& dataField);

  BayesNetModel& model_;
  const ScoreDictionary* dictionary_;
  const TransformationDictionary* transformation_;
};

#endif  // BAYESNET_MININGSCHEMAREADER_H_
