#ifndef BNSCORE_ENGINE_DECIMALTEXT_H_
#define BNSCORE_ENGINE_DECIMALTEXT_H_

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace bnscore::internal {

// 10^0 to 10^15: every one is exactly a double.
inline constexpr double kDecimalPowersOfTen[] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                                 1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};

// Reads the plain decimals that most numeric cells hold, such as "42",
// "-3.25" or "0.001": an optional minus sign, 1 to 15 digits in all, and
// an optional point followed by at least one digit. For such text the
// digits form an integer below 2^53 and the power of ten is exact, so one
// division gives the correctly rounded double: the same bits as
// ParseNumber. Returns false, leaving `value` alone, for any other text,
// which the caller then reads with ParseNumber. Inline: it runs once per
// numeric cell.
inline bool ParsePlainDecimal(std::string_view text, double& value) {
  const char* p = text.data();
  const char* const end = p + text.size();
  const bool negative = p != end && *p == '-';
  if (negative) ++p;
  const char* const first = p;
  std::uint64_t digits = 0;  // wraps only for texts refused below
  unsigned digit;
  while (p != end && (digit = static_cast<unsigned char>(*p) - unsigned{'0'}) < 10) {
    digits = digits * 10 + digit;
    ++p;
  }
  std::size_t count = static_cast<std::size_t>(p - first);
  if (count == 0) return false;
  std::size_t fraction = 0;
  if (p != end) {
    if (*p != '.') return false;
    const char* const fractionStart = ++p;
    while (p != end && (digit = static_cast<unsigned char>(*p) - unsigned{'0'}) < 10) {
      digits = digits * 10 + digit;
      ++p;
    }
    fraction = static_cast<std::size_t>(p - fractionStart);
    if (fraction == 0 || p != end) return false;
    count += fraction;
  }
  if (count > 15) return false;
  const double magnitude = static_cast<double>(digits) / kDecimalPowersOfTen[fraction];
  value = negative ? -magnitude : magnitude;
  return true;
}

}  // namespace bnscore::internal

#endif  // BNSCORE_ENGINE_DECIMALTEXT_H_
