#ifndef BNSCORE_FORMATS_STATEINDEX_H_
#define BNSCORE_FORMATS_STATEINDEX_H_

#include <cstddef>
#include <string>
#include <string_view>
#include <unordered_map>

#include "formats/Network.h"

namespace bnscore::formats {

// Finds a state's position among a variable's states in constant time,
// so that reading a table costs its size whatever the number of states: a
// variable of more than a few states gets a hash index the first time it
// is asked (its states must not change afterwards). Refers to `network`,
// which must outlive it.
class StateIndex {
 public:
  explicit StateIndex(const Network& network) : network_(network) {}

  // The position of `state` among the states of variable `variable`, or -1.
  long Find(std::size_t variable, std::string_view state);

 private:
  static constexpr std::size_t kSearched = 8;  // states searched without an index

  const Network& network_;
  std::unordered_map<std::size_t, std::unordered_map<std::string, std::size_t>> indexes_;
};

}  // namespace bnscore::formats

#endif  // BNSCORE_FORMATS_STATEINDEX_H_
