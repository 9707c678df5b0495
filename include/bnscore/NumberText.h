#ifndef BNSCORE_NUMBERTEXT_H_
#define BNSCORE_NUMBERTEXT_H_

#include <string>

#include "bnscore/bnscore.h"

namespace bnscore {

// The text bnscore writes for a number everywhere (probabilities, values,
// bins): the shortest digits that read back to the same double, in fixed
// notation when the decimal exponent e of the first digit is in -5 < e <
// 16 (3 -> "3", 2.5 -> "2.5", 0.0001 -> "0.0001"), else scientific with a
// signed exponent of two digits or more ("1e-05", "1.5e+16"); "nan",
// "inf", "-inf".
BNSCORE_API std::string FormatNumber(double value);

}  // namespace bnscore

#endif  // BNSCORE_NUMBERTEXT_H_
