#include "engine/NumberTextCache.h"

#include <charconv>
#include <cmath>
#include <cstring>

#include "host/text/NumberText.h"

namespace bnscore::internal {

std::string_view FormatNumberText(double value, NumberTextBuffer& buffer) {
  if (!std::isfinite(value) || value == kSystemMissingNumber) {
    return FormatNumberView(value, buffer);
  }
  // The shortest digits that read back as the value, as -d.ddde+XX (at
  // least two digits of exponent), then moved into place.
  char sci[32];
  const char* const end =
      std::to_chars(sci, sci + sizeof sci, value, std::chars_format::scientific).ptr;
  const char* p = sci;
  char* const begin = buffer.data;
  char* out = begin;
  if (*p == '-') *out++ = *p++;
  const char* e = end[-4] == 'e' ? end - 4 : end - 5;  // 2 or 3 digits of exponent
  int exponent = 0;
  for (const char* d = e + 2; d < end; ++d) exponent = exponent * 10 + (*d - '0');
  if (e[1] == '-') exponent = -exponent;
  if (exponent <= -5 || exponent >= 16) {
    // Scientific notation is what to_chars wrote.
    const std::size_t length = static_cast<std::size_t>(end - p);
    std::memcpy(out, p, length);
    return std::string_view(begin, static_cast<std::size_t>(out + length - begin));
  }
  // The digits: p[0], then those after the point up to e.
  const char* const rest = p[1] == '.' ? p + 2 : p + 1;
  const int restDigits = static_cast<int>(e - rest);
  if (exponent < 0) {
    // 0.000ddd
    *out++ = '0';
    *out++ = '.';
    for (int i = 1; i < -exponent; ++i) *out++ = '0';
    *out++ = p[0];
    std::memcpy(out, rest, static_cast<std::size_t>(restDigits));
    out += restDigits;
  } else if (restDigits <= exponent) {
    // An integer: the digits, then zeros.
    *out++ = p[0];
    std::memcpy(out, rest, static_cast<std::size_t>(restDigits));
    out += restDigits;
    for (int i = restDigits; i < exponent; ++i) *out++ = '0';
  } else {
    // ddd.ddd
    *out++ = p[0];
    std::memcpy(out, rest, static_cast<std::size_t>(exponent));
    out += exponent;
    *out++ = '.';
    std::memcpy(out, rest + exponent, static_cast<std::size_t>(restDigits - exponent));
    out += restDigits - exponent;
  }
  return std::string_view(begin, static_cast<std::size_t>(out - begin));
}

NumberTextCache::NumberTextCache() : slots_(kWays << kSetBits) {}

NumberTextCache& NumberTextCache::ForThisThread() {
  thread_local NumberTextCache cache;
  return cache;
}

std::string_view NumberTextCache::Format(double value) {
  std::uint64_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  // Fibonacci hashing: the top bits of the product mix all bits of the
  // double, the mantissa's low bits included.
  const std::size_t set =
      static_cast<std::size_t>((bits * 0x9E3779B97F4A7C15ull) >> (64 - kSetBits));
  Slot* const ways = slots_.data() + set * kWays;
  for (std::size_t w = 0; w < kWays; ++w) {
    if (ways[w].bits == bits && ways[w].length > 0) {
      return std::string_view(ways[w].text, ways[w].length);
    }
  }
  const std::string_view text = FormatNumberText(value, buffer_);
  if (text.empty() || text.size() > kMaxCachedLength) return text;
  for (std::size_t w = kWays - 1; w > 0; --w) ways[w] = ways[w - 1];
  Slot& slot = ways[0];
  std::memcpy(slot.text, text.data(), text.size());
  slot.length = static_cast<std::uint8_t>(text.size());
  slot.bits = bits;
  return std::string_view(slot.text, slot.length);
}

}  // namespace bnscore::internal
