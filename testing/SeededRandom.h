#ifndef TESTING_SEEDEDRANDOM_H_
#define TESTING_SEEDEDRANDOM_H_

#include <cstdint>
#include <random>

namespace bnscore::testing {

// A seeded random source whose sequence is the same with every standard
// library: std::mt19937_64 is fully specified, and the mappings to ranges
// below are our own (the std::uniform_*_distribution classes are not
// specified bit for bit). Not thread-safe; one per generator.
class SeededRandom {
 public:
  explicit SeededRandom(std::uint64_t seed) : engine_(seed) {}

  // A whole number in [0, n); 0 when n is 0. Multiply-high mapping: the
  // bias is below 2^-40 for the ranges used here.
  std::uint64_t Below(std::uint64_t n) {
    return static_cast<std::uint64_t>((static_cast<unsigned __int128>(engine_()) * n) >> 64);
  }

  // A whole number in [lo, hi]; lo when hi < lo.
  int Between(int lo, int hi) {
    if (hi <= lo) return lo;
    return lo + static_cast<int>(Below(static_cast<std::uint64_t>(hi - lo) + 1));
  }

  // A double in [0, 1) with 53 random bits.
  double Unit() { return static_cast<double>(engine_() >> 11) * 0x1.0p-53; }

  // True with probability p (never for p <= 0, always for p >= 1).
  bool Chance(double p) { return p > 0.0 && Unit() < p; }

 private:
  std::mt19937_64 engine_;
};

}  // namespace bnscore::testing

#endif  // TESTING_SEEDEDRANDOM_H_
