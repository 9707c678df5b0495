#ifndef MODELCORE_PMMLTRANSLATOR_H_
#define MODELCORE_PMMLTRANSLATOR_H_

#include <string>

#include <xercesc/dom/DOMElement.hpp>

#include "host/BaseTranslator.h"
#include "host/ScoreDictionary.h"
#include "host/TransformationDictionary.h"

// The translator base for PMML models: reads the DataDictionary and the
// TransformationDictionary. Both readers use the transcoder, so
// CreateTranscoder must have run.
class MODELCORE_API PMMLTranslator : public BaseTranslator {
 public:
  // `dialect` names the PMML dialect; plug-ins pass "".
  explicit PMMLTranslator(const std::string& dialect);
  ~PMMLTranslator() override;

  const std::string& GetDialect() const { return dialect_; }

  // Reads a DataDictionary: one BaseDictVar per DataField (see the README's
  // dialect section for optype, dataType and Value). A DataField without
  // name, or a name used twice, raises code 7. The caller owns the result.
  ScoreDictionary* ParseDictionary(const xercesc::DOMElement* dataDictionary);

  // Reads a TransformationDictionary leniently: one variable per
  // DerivedField with a name, in document order; its Discretize, if any,
  // is kept for computing derived values. Malformed discretizations are
  // kept as far as they can be read, never rejected here. The caller owns
  // the result.
  TransformationDictionary* HandleTransformationDictionary(
      const xercesc::DOMElement* transformationDictionary, const ScoreDictionary* dataDictionary);

 private:
  std::string dialect_;
};

#endif  // MODELCORE_PMMLTRANSLATOR_H_
