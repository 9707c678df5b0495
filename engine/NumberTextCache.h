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

  // The calling thread's cache, made on its first call (256 KiB, freed
  // when the thread ends). It outlives any one scoring call, so that a
  // server scoring many short batches on a thread finds the texts of the
  // batches before; to be used on the calling thread only.
  static NumberTextCache& ForThisThread();

  // The text form of `value`, valid until the next call.
  std::string_view Format(double value);

 private:
  // 2^kSetBits sets of kWays slots each: 8,192 texts, 256 KiB.
  static constexpr int kSetBits = 12;
  static constexpr std::size_t kWays = 2;

  // A number's bits pick its set, which holds the last kWays numbers
  // formatted there, the newest first (texts longer than kMaxCachedLength
  // are not kept). Two ways, so that the few thousand numbers a model
  // with few combinations of codes writes over and over rarely push each
  // other out.
  struct Slot {
    std::uint64_t bits = 0;
    char text[kMaxCachedLength];
    std::uint8_t length = 0;  // 0: empty
  };

  std::vector<Slot> slots_;
  NumberTextBuffer buffer_;  // for texts that are not cached
};

// Writes FormatNumberView's text of `value` to `buffer` and returns it:
// the same bytes, made with less work for the finite numbers that scoring
// writes (the shortest digits that read back as `value`, in plain notation
// from 1e-4 up to 1e16, else as d.ddde+XX).
std::string_view FormatNumberText(double value, NumberTextBuffer& buffer);

}  // namespace bnscore::internal

#endif  // BNSCORE_ENGINE_NUMBERTEXTCACHE_H_
