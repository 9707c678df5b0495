#include "engine/XmlTurns.h"

namespace bnscore::internal {

std::mutex& XmlTurns() {
  static std::mutex mutex;
  return mutex;
}

}  // namespace bnscore::internal
