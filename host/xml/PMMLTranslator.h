#ifndef MODELCORE_PMMLTRANSLATOR_H_
#define MODELCORE_PMMLTRANSLATOR_H_

#include <string>

#include <xercesc/dom/DOMElement.hpp>

#include "host/data/TransformationDictionary.h"
#include "host/interfaces/ScoreDictionary.h"
#include "host/xml/BaseTranslator.h"

// The translator base for PMML models: reads the DataDictionary and the
// TransformationDictionary. Both readers use the transcoder, so
// CreateTranscoder must have run.
class MODELCORE_API PMMLTranslator : public BaseTranslator {
 public:
  // `dialect` names the PMML dialect; plug-ins pass "".
  explicit PMMLTranslator(const std::string& dialect);
  ~PMMLTranslator() override;

  const std::string& GetDialect() const { return dialect_; }

  // Reads a DataDictionary: one BaseDictVar per DataField child, in
  // document order; other children (Extension) are skipped.
  // - dataType "double", "float" or "integer" gives value type 0, anything
  //   else (absent too) 1;
  // - optype "continuous", "categorical", "ordinal" gives measure 0, 1, 2;
  //   absent or unknown: 1 for string data, 0 for numbers;
  // - Value children: property absent or "valid" adds a label (value read as
  //   NumericValue(text) for numeric fields, else StringValue; text is
  //   displayValue when present, else the value), "missing" declares a
  //   missing value, anything else is ignored.
  // A DataField without name (or with an empty one), or a name used twice,
  // raises code 7 naming the line. The caller owns the result.
  ScoreDictionary* ParseDictionary(const xercesc::DOMElement* dataDictionary);

  // Reads a TransformationDictionary leniently: one variable per
  // DerivedField child with a non-empty name, in document order (a repeated
  // name keeps the first). Measure and value type as above; labels from its
  // Value children, else the distinct binValues of its Discretize in bin
  // order. The first child other than Value and Extension defines the
  // field; a Discretize is kept for computing derived values (its
  // DiscretizeBin children, Extension and anything else skipped), any other
  // transformation leaves the field without values. Malformed
  // discretizations are kept as far as they can be read, never rejected
  // here: an unknown closure reads as "openClosed", an unreadable margin
  // makes its bin match nothing. The caller owns the result.
  TransformationDictionary* HandleTransformationDictionary(
      const xercesc::DOMElement* transformationDictionary, const ScoreDictionary* dataDictionary);

 private:
  std::string dialect_;
};

#endif  // MODELCORE_PMMLTRANSLATOR_H_
