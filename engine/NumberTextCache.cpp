#include "engine/NumberTextCache.h"

#include <cstring>

#include "host/text/NumberText.h"

namespace bnscore::internal {

NumberTextCache::NumberTextCache() : slots_(std::size_t{1} << kSlotBits) {}

std::string_view NumberTextCache::Format(double value) {
  std::uint64_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  // Fibonacci hashing: the top bits of the product mix all bits of the
  // double, the mantissa's low bits included.
  const std::size_t index =
      static_cast<std::size_t>((bits * 0x9E3779B97F4A7C15ull) >> (64 - kSlotBits));
  Slot& slot = slots_[index];
  if (slot.length > 0 && slot.bits == bits) return std::string_view(slot.text, slot.length);
  std::string_view text = FormatNumberView(value, buffer_);
  if (text.empty() || text.size() > kMaxCachedLength) return text;
  std::memcpy(slot.text, text.data(), text.size());
  slot.length = static_cast<std::uint8_t>(text.size());
  slot.bits = bits;
  return std::string_view(slot.text, slot.length);
}

}  // namespace bnscore::internal
