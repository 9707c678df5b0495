#ifndef BNSCORE_ENGINE_DECIMALTEXT_H_
#define BNSCORE_ENGINE_DECIMALTEXT_H_

#include <string_view>

namespace bnscore::internal {

// Reads the plain decimals that most numeric cells hold, such as "42",
// "-3.25" or "0.001": an optional minus sign, 1 to 15 digits in all, and
// an optional point followed by at least one digit (at most 22 digits after
// it). For such text the digits form an integer below 2^53 and the power of
// ten is exact, so one division gives the correctly rounded double: the
// same bits as ParseNumber. Returns false, leaving `value` alone, for any
// other text, which the caller then reads with ParseNumber.
bool ParsePlainDecimal(std::string_view text, double& value);

}  // namespace bnscore::internal

#endif  // BNSCORE_ENGINE_DECIMALTEXT_H_
