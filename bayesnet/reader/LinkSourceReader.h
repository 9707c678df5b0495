#ifndef BAYESNET_LINKSOURCEREADER_H_
#define BAYESNET_LINKSOURCEREADER_H_

#include <xercesc/dom/DOMElement.hpp>

#include "bayesnet/model/BayesNetModel.h"
#include "bayesnet/reader/ElementReader.h"
#include "bayesnet/reader/FieldResolver.h"

// Reads a LinkSource into the model's arcs: after its names, every row
// "parent; child; flag" whose flag is "yes" adds the arc in both
// directions, the names resolved to data fields. Faults raise VkException.
// REQUIRES: the model, the transcoder and the resolver outlive the reader.
class LinkSourceReader : private ElementReader {
 public:
  LinkSourceReader(BayesNetModel& model, const DeftTranscoder& transcoder,
                   const FieldResolver& fields)
      : ElementReader(transcoder), model_(model), fields_(fields) {}

  void Read(const xercesc::DOMElement* linkSource);

 private:
  BayesNetModel& model_;
  const FieldResolver& fields_;
};

#endif  // BAYESNET_LINKSOURCEREADER_H_
