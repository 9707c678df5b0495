#ifndef BNSCORE_ENGINE_NUMBERTEXTCACHE_H_
#define BNSCORE_ENGINE_NUMBERTEXTCACHE_H_

#include <cstdint>
#include <string_view>
#include <vector>

#include "host/interfaces/ScoreValue.h"

namespace bnscore::internal {

// The text form of numbers (FormatNumberView), with the texts of recently
// written numbers kept for reuse. The text is always exactly what
// FormatNumberView gives (numbers are matched by their bits, so 0.0 and
// -0.0 differ). Not for concurrent use; allocates only when constructed.
class NumberTextCache {
 public:
  static constexpr std::size_t kMaxCachedLength = 23;

  NumberTextCache();

  // The text form of `value`, valid until the next call.
  std::string_view Format(double value);

 private:
  static constexpr int kSlotBits = 12;

  // Direct-mapped: a number's bits pick its slot, which holds the last
  // number formatted there (texts longer than kMaxCachedLength are not
  // kept).
  struct Slot {
    std::uint64_t bits = 0;
    char text[kMaxCachedLength];
    std::uint8_t length = 0;  // 0: empty
  };

  std::vector<Slot> slots_;
  NumberTextBuffer buffer_;  // for texts that are not cached
};

}  // namespace bnscore::internal

#endif  // BNSCORE_ENGINE_NUMBERTEXTCACHE_H_
