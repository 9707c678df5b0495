#ifndef BAYESNET_MCMV_H_
#define BAYESNET_MCMV_H_

#include "bayesnet/BayesNetExport.h"

// The plug-in's own missing value, which the encoders give for a category
// they do not have: the most negative finite double. It differs from the
// host's system-missing value (NumericValue::GetSysmisValue()).
class BAYESNET_API MCMV {
 public:
  // -1.7976931348623157e308. Fixed by the encoder interface; do not change.
  static const double gMissingValue;

  static bool IsMissing(double value);
  static double Missing();

  MCMV& operator=(const MCMV&) = default;
};

#endif  // BAYESNET_MCMV_H_
