#include "bayesnet/reader/DiscretizeReader.h"

#include <iostream>
#include <limits>

#include <xercesc/dom/DOMNodeList.hpp>
#include <xercesc/util/XMLString.hpp>

#include "bayesnet/reader/PmmlVocabulary.h"
#include "host/interfaces/VkException.h"

using xercesc::DOMElement;
using xercesc::DOMNodeList;
using xercesc::XMLString;

namespace {

// The value both margins start from: the lowest finite double.
constexpr double kLowestMargin = std::numeric_limits<double>::lowest();

// The two diagnostic lines written before an element of the wrong kind is
// rejected.
void ReportUnexpectedElement(const DOMElement* element) {
  char* tag = XMLString::transcode(element->getTagName());
  std::cerr << "Element DerivedField not found in ParseDiscretize" << std::endl;
  std::cerr << "The element is " << (tag != nullptr ? tag : "") << std::endl;
  XMLString::release(&tag);
}

}  // namespace

CutPointMap DiscretizeReader::Read(const DOMElement* transformation) const {
  DOMNodeList* derivedFields = Dom::GetElementsByTagName(transformation, pmml::kDerivedField);
  const XMLSize_t count = derivedFields == nullptr ? 0 : derivedFields->getLength();
  if (count == 0) {
    throw VkException(VkException::StructureError, "<DerivedField> is required!!");
  }

  CutPointMap cutPoints;
  for (XMLSize_t i = 0; i < count; ++i) {
    const auto* derived = static_cast<const DOMElement*>(derivedFields->item(i));
    if (!Dom::IsEqual(derived->getTagName(), pmml::kDerivedField)) {
      ReportUnexpectedElement(derived);
      throw VkException(VkException::UnexpectedElement, "Element DerivedField was expected here.");
    }
    const std::string name = Transcode(Dom::GetAttributeForced(derived, pmml::kName));

    const DOMElement* discretize = Dom::GetFirstChildElt(derived);
    if (discretize == nullptr || !Dom::IsEqual(discretize->getTagName(), pmml::kDiscretize)) {
      throw VkException(VkException::StructureError, "Element Discretize was expected here.");
    }
    cutPoints[name] = ReadCuts(discretize);
  }
  return cutPoints;
}

std::vector<double> DiscretizeReader::ReadCuts(const DOMElement* discretize) const {
  std::vector<double> cuts;
  int bins = 0;
  double left = kLowestMargin;
  double right = kLowestMargin;
  for (const DOMElement* bin = Dom::GetFirstChildElt(discretize); bin != nullptr;
       bin = Dom::GetNextSiblingElt(bin)) {
    if (!Dom::IsEqual(bin->getTagName(), pmml::kDiscretizeBin)) {
      throw VkException(VkException::StructureError, "Element DiscretizeBin was expected here.");
    }
    const DOMElement* interval = Dom::GetFirstChildElt(bin);
    if (interval == nullptr || !Dom::IsEqual(interval->getTagName(), pmml::kInterval)) {
      throw VkException(VkException::StructureError, "Element Interval was expected here.");
    }
    if (bins > 0) {
      // The host reads an absent leftMargin as "", which VerifyDouble rejects.
      left = Dom::VerifyDouble(interval, pmml::kLeftMargin);
      if (left != right) {
        throw VkException(VkException::InvalidStructure, "Error in Interval margins.");
      }
      cuts.push_back(left);
    }
    right = Dom::VerifyDouble(interval, pmml::kRightMargin, right);
    ++bins;
  }
  if (cuts.empty()) {
    throw VkException(VkException::InvalidContent,
                      "BayesNetTranslator::ParseDiscretize: cutpoints found");
  }
  return cuts;
}
