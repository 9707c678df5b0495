#include "formats/StateIndex.h"

namespace bnscore::formats {

long StateIndex::Find(std::size_t variable, std::string_view state) {
  const std::vector<std::string>& states = network_.variables[variable].states;
  if (states.size() <= kSearched) {
    for (std::size_t k = 0; k < states.size(); ++k) {
      if (states[k] == state) return static_cast<long>(k);
    }
    return -1;
  }
  auto [index, made] = indexes_.try_emplace(variable);
  if (made) {
    index->second.reserve(states.size());
    for (std::size_t k = 0; k < states.size(); ++k) index->second.emplace(states[k], k);
  }
  const auto found = index->second.find(std::string(state));
  return found == index->second.end() ? -1 : static_cast<long>(found->second);
}

}  // namespace bnscore::formats
