#ifndef BAYESNET_DISCRETIZEREADER_H_
#define BAYESNET_DISCRETIZEREADER_H_

#include <map>
#include <string>
#include <vector>

#include <xercesc/dom/DOMElement.hpp>

#include "bayesnet/reader/ElementReader.h"

// Derived field name -> its cut points, in document order.
using CutPointMap = std::map<std::string, std::vector<double>>;

// Reads the cut points of every DerivedField's Discretize below a
// TransformationDictionary: the left margins of its bins after the first,
// each equal to the right margin before it. Faults raise VkException.
class DiscretizeReader : private ElementReader {
 public:
  explicit DiscretizeReader(const DeftTranscoder& transcoder) : ElementReader(transcoder) {}

  // The cut points of every DerivedField below `transformation`; a field
  // with fewer than two bins, or none at all, is rejected.
  CutPointMap Read(const xercesc::DOMElement* transformation) const;

 private:
  std::vector<double> ReadCuts(const xercesc::DOMElement* discretize) const;
};

#endif  // BAYESNET_DISCRETIZEREADER_H_
