#ifndef BNSCORE_ENGINE_XMLTURNS_H_
#define BNSCORE_ENGINE_XMLTURNS_H_

#include <mutex>

namespace bnscore::internal {

// Xerces is initialised only while a document is read; XmlPlatform counts
// its users but is not thread-safe, so whatever reads XML (model loads,
// conversions) holds this mutex meanwhile.
std::mutex& XmlTurns();

}  // namespace bnscore::internal

#endif  // BNSCORE_ENGINE_XMLTURNS_H_
