#include "host/text/NumberText.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <system_error>

namespace {

// Appends `text` at `out` and returns the position after it.
char* Append(char* out, const char* text, std::size_t length) {
  std::memcpy(out, text, length);
  return out + length;
}

char* AppendZeros(char* out, int count) {
  for (int i = 0; i < count; ++i) *out++ = '0';
  return out;
}

// Whether the number of mantissa [begin, mantissaEnd) and exponent
// [mantissaEnd, end) ("e-12") is at least 1 in magnitude, for a number that
// is either far too large or far too small for a double. A value between
// 10^(m - 1) and 10^m, m the mantissa's magnitude, is large when m plus its
// exponent is positive.
bool DecimalExponentIsPositive(const char* begin, const char* mantissaEnd, const char* end) {
  long long magnitude = 0;
  bool nonzero = false;
  bool point = false;
  for (const char* p = begin; p < mantissaEnd; ++p) {
    if (*p == '.') {
      point = true;
      continue;
    }
    nonzero = nonzero || *p != '0';
    if (!point && nonzero) ++magnitude;
    if (point && !nonzero) --magnitude;
  }
  constexpr long long kCap = 1'000'000'000'000LL;  // far past any double's range
  long long exponent = 0;
  const char* p = mantissaEnd < end ? mantissaEnd + 1 : end;  // past the 'e'
  const bool negativeExponent = p < end && *p == '-';
  if (p < end && (*p == '+' || *p == '-')) ++p;
  for (; p < end; ++p) {
    if (exponent < kCap) exponent = exponent * 10 + (*p - '0');
  }
  return magnitude + (negativeExponent ? -exponent : exponent) > 0;
}

}  // namespace

std::size_t FormatNumber(double value, NumberTextBuffer& buffer) {
  char* const begin = buffer.data;
  char* out = begin;
  if (value == kSystemMissingNumber) return 0;
  if (std::isnan(value)) return static_cast<std::size_t>(Append(out, "nan", 3) - begin);
  if (std::isinf(value)) {
    return value < 0 ? static_cast<std::size_t>(Append(out, "-inf", 4) - begin)
                     : static_cast<std::size_t>(Append(out, "inf", 3) - begin);
  }

  // The shortest round-trip digits, as "-d.ddde+xx".
  char sci[32];
  std::to_chars_result r =
      std::to_chars(sci, sci + sizeof(sci), value, std::chars_format::scientific);
  const char* p = sci;
  const char* const end = r.ptr;
  if (*p == '-') *out++ = *p++;

  char digits[20];
  int numDigits = 0;
  while (p < end && *p != 'e') {
    if (*p != '.') digits[numDigits++] = *p;
    ++p;
  }
  int exponent = 0;
  std::from_chars(p + 1 + (p[1] == '+' ? 1 : 0), end, exponent);

  if (exponent > -5 && exponent < 16) {
    if (exponent >= 0) {
      int intDigits = exponent + 1;
      if (numDigits <= intDigits) {
        out = Append(out, digits, numDigits);
        out = AppendZeros(out, intDigits - numDigits);
      } else {
        out = Append(out, digits, intDigits);
        *out++ = '.';
        out = Append(out, digits + intDigits, numDigits - intDigits);
      }
    } else {
      out = Append(out, "0.", 2);
      out = AppendZeros(out, -exponent - 1);
      out = Append(out, digits, numDigits);
    }
  } else {
    *out++ = digits[0];
    if (numDigits > 1) {
      *out++ = '.';
      out = Append(out, digits + 1, numDigits - 1);
    }
    *out++ = 'e';
    *out++ = exponent < 0 ? '-' : '+';
    int magnitude = exponent < 0 ? -exponent : exponent;
    if (magnitude < 10) *out++ = '0';
    out = std::to_chars(out, begin + sizeof(buffer.data), magnitude).ptr;
  }
  return static_cast<std::size_t>(out - begin);
}

std::string_view FormatNumberView(double value, NumberTextBuffer& buffer) {
  return std::string_view(buffer.data, FormatNumber(value, buffer));
}

std::string NumberToString(double value) {
  NumberTextBuffer buffer;
  return std::string(FormatNumberView(value, buffer));
}

bool ParseNumber(std::string_view text, double& value) {
  auto isBlank = [](char c) { return c == ' ' || c == '\t'; };
  while (!text.empty() && isBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && isBlank(text.back())) text.remove_suffix(1);
  if (!text.empty() && text.front() == '+') {
    text.remove_prefix(1);
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) return false;
  }
  if (text.empty()) return false;
  double parsed = 0.0;
  std::from_chars_result r = std::from_chars(text.data(), text.data() + text.size(), parsed);
  if (r.ec != std::errc() || r.ptr != text.data() + text.size()) return false;
  value = parsed;
  return true;
}

double ReadLeadingNumber(std::string_view text) {
  auto isDigit = [](char c) { return c >= '0' && c <= '9'; };
  const char* p = text.data();
  const char* const end = p + text.size();
  while (p < end && (*p == ' ' || (*p >= '\t' && *p <= '\r'))) ++p;
  bool negative = false;
  if (p < end && (*p == '+' || *p == '-')) {
    negative = *p == '-';
    ++p;
  }
  const char* const body = p;  // std::from_chars takes no '+'

  // The prefix: digits, '.', digits, and an exponent only after a digit.
  while (p < end && isDigit(*p)) ++p;
  bool digits = p != body;
  if (p < end && *p == '.') {
    const char* const fraction = ++p;
    while (p < end && isDigit(*p)) ++p;
    digits = digits || p != fraction;
  }
  const char* const mantissaEnd = p;
  if (digits && p < end && (*p == 'e' || *p == 'E')) {
    ++p;
    if (p < end && (*p == '+' || *p == '-')) ++p;
    while (p < end && isDigit(*p)) ++p;
  }

  double value = 0.0;
  const std::from_chars_result r = std::from_chars(body, p, value);
  if (r.ptr != p) return 0.0;  // no digits, or an exponent without digits
  if (r.ec == std::errc::result_out_of_range) {
    value =
        DecimalExponentIsPositive(body, mantissaEnd, p) ? std::numeric_limits<double>::max() : 0.0;
  } else if (r.ec != std::errc()) {
    return 0.0;
  }
  return negative ? -value : value;
}
