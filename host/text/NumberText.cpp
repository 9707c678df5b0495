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

  // The prefix, and the decimal magnitude of its value, which tells an
  // overflow from an underflow when the value is out of range: the value
  // lies in [10^(magnitude - 1), 10^magnitude) times 10^exponent.
  long long magnitude = 0;
  bool digits = false;
  bool nonzero = false;
  bool point = false;
  for (; p < end; ++p) {
    if (isDigit(*p)) {
      digits = true;
      nonzero = nonzero || *p != '0';
      if (!point && nonzero) ++magnitude;
      if (point && !nonzero) --magnitude;
    } else if (*p == '.' && !point) {
      point = true;
    } else {
      break;
    }
  }
  constexpr long long kExponentCap = 1'000'000'000'000LL;  // far past any double's range
  long long exponent = 0;
  if (digits && p < end && (*p == 'e' || *p == 'E')) {
    ++p;
    bool negativeExponent = false;
    if (p < end && (*p == '+' || *p == '-')) {
      negativeExponent = *p == '-';
      ++p;
    }
    for (; p < end && isDigit(*p); ++p) {
      if (exponent < kExponentCap) exponent = exponent * 10 + (*p - '0');
    }
    if (negativeExponent) exponent = -exponent;
  }

  double value = 0.0;
  const std::from_chars_result r = std::from_chars(body, p, value);
  if (r.ptr != p) return 0.0;  // no digits, or an exponent without digits
  if (r.ec == std::errc::result_out_of_range) {
    value = magnitude + exponent > 0 ? std::numeric_limits<double>::max() : 0.0;
  } else if (r.ec != std::errc()) {
    return 0.0;
  }
  return negative ? -value : value;
}
