#ifndef MODELCORE_DOCUMENTBUDGET_H_
#define MODELCORE_DOCUMENTBUDGET_H_

#include <cstddef>
#include <functional>
#include <set>
#include <string>

#include <xercesc/util/XercesDefs.hpp>

#include "host/xml/PmmlParser.h"

// What one document being parsed has cost so far, against the limits of
// PmmlParser: the nesting depth, the number of DOM nodes (elements,
// attributes, text, CDATA sections, processing instructions) and the
// number of distinct element and attribute names. Names count because
// Xerces pools them in a table that never grows, so that every new name
// costs more than the one before.
//
// Each call returns "" while the document stays within the limits, else
// the reason it does not, for a refusal. Internal to modelcore; one per
// parse.
class DocumentBudget {
 public:
  // The limits of a document of `bytes` bytes.
  DocumentBudget(const DocumentLimits& limits, std::size_t bytes)
      : limits_(limits), maxNodes_(limits.MaxNodes(bytes)) {}

  // An element named `name` with `attributes` attributes starts, one level
  // below the current one.
  std::string StartElement(const XMLCh* name, std::size_t attributes);
  // Its attributes' names, one by one.
  std::string AddAttributeName(const XMLCh* name);
  // The current element ends.
  void EndElement();
  // A node that is not an element or an attribute.
  std::string AddNode();

 private:
  std::string AddName(const XMLCh* name);
  std::string TooManyNodes() const;

  DocumentLimits limits_;
  std::size_t maxNodes_;

  std::size_t depth_ = 0;  // levels open at the scanner's position
  std::size_t nodes_ = 0;
  std::set<std::basic_string<XMLCh>, std::less<>> names_;
};

#endif  // MODELCORE_DOCUMENTBUDGET_H_
