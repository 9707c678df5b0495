#include "engine/DecimalText.h"

#include <cstdint>

namespace bnscore::internal {

namespace {

// 10^0 to 10^22: every one is exactly a double.
constexpr double kPowersOfTen[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                   1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                   1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

}  // namespace

bool ParsePlainDecimal(std::string_view text, double& value) {
  std::size_t i = 0;
  const std::size_t n = text.size();
  const bool negative = n > 0 && text[0] == '-';
  if (negative) ++i;
  std::uint64_t digits = 0;
  int count = 0;
  const std::size_t intStart = i;
  while (i < n && text[i] >= '0' && text[i] <= '9') {
    digits = digits * 10 + static_cast<std::uint64_t>(text[i] - '0');
    ++count;
    ++i;
  }
  if (i == intStart) return false;
  int fraction = 0;
  if (i < n && text[i] == '.') {
    ++i;
    const std::size_t fractionStart = i;
    while (i < n && text[i] >= '0' && text[i] <= '9') {
      digits = digits * 10 + static_cast<std::uint64_t>(text[i] - '0');
      ++count;
      ++i;
    }
    fraction = static_cast<int>(i - fractionStart);
    if (fraction == 0) return false;
  }
  if (i != n || count > 15 || fraction > 22) return false;
  const double magnitude = static_cast<double>(digits) / kPowersOfTen[fraction];
  value = negative ? -magnitude : magnitude;
  return true;
}

}  // namespace bnscore::internal
