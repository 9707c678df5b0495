#ifndef BNSCORE_ENGINE_NUMBERTEXTCACHE_H_
#define BNSCORE_ENGINE_NUMBERTEXTCACHE_H_

#include <cstdint>
#include <string_view>
#include <vector>

#include "host/interfaces/ScoreValue.h"

// The text form of numbers (FormatNumberView) with the texts of recently
// written numbers kept for reuse: scored records often repeat the same
// probabilities, and formatting a double costs far more than finding its
// text again. A number is found by its exact bits, so the text is always
// what FormatNumberView gives for it (0.0 and -0.0 are told apart).
//
// Direct-mapped: each number has one slot, which the last number formatted
// there holds; a slot is 32 bytes, so texts longer than kMaxCachedLength
// (rare) are formatted each time. Not for concurrent use; allocates only
// when constructed.
class NumberTextCache {
 public:
  static constexpr std::size_t kMaxCachedLength = 23;

  NumberTextCache();

  // The text form of `value`, valid until the next call.
  std::string_view Format(double value);

 private:
  static constexpr int kSlotBits = 12;

  struct Slot {
    std::uint64_t bits = 0;
    char text[kMaxCachedLength];
    std::uint8_t length = 0;  // 0: empty
  };

  std::vector<Slot> slots_;
  NumberTextBuffer buffer_;  // for texts that are not cached
};

#endif  // BNSCORE_ENGINE_NUMBERTEXTCACHE_H_
