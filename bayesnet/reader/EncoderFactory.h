#ifndef BAYESNET_ENCODERFACTORY_H_
#define BAYESNET_ENCODERFACTORY_H_

#include <string>

#include "bayesnet/encoders/IVkEncoder.h"
#include "bayesnet/reader/DiscretizeReader.h"
#include "host/interfaces/ScoreDictVar.h"

// Makes the encoders of the network's variables: categorical ones from a
// dictionary variable's value labels, binning ones from a discretization's
// cut points. No instances.
class EncoderFactory {
 public:
  EncoderFactory() = delete;

  // A new categorical encoder holding the variable's value labels; the
  // caller owns it. Null only when it cannot be allocated.
  static IVkEncoder* CreateCategoricalEncoder(const ScoreDictVar* variable);
  // A new binning encoder for the continuous `predictor` from the cut points
  // of `derivedField`, the derived field linked to it; the caller owns it.
  // Raises code 8 when there are none; null only when it cannot be allocated.
  static IVkEncoder* CreateBinningEncoder(const std::string& predictor,
                                          const std::string& derivedField,
                                          const CutPointMap& cutPoints);
};

#endif  // BAYESNET_ENCODERFACTORY_H_
