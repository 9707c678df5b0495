#include "bayesnet/encoders/MCMV.h"

#include <limits>

// The most negative finite double, -1.7976931348623157e308.
const double MCMV::gMissingValue = -std::numeric_limits<double>::max();

bool MCMV::IsMissing(double value) { return value == gMissingValue; }

double MCMV::Missing() { return gMissingValue; }
