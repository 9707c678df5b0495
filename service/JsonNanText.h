#ifndef BNSCORE_SERVICE_JSONNANTEXT_H_
#define BNSCORE_SERVICE_JSONNANTEXT_H_

#include <string>
#include <string_view>

namespace bnscore::service {

// JSON as Python's json.dumps writes it by default: the bare words NaN,
// Infinity and -Infinity where a number goes, which are not JSON.
//
// Copies `body` into `out` with every NaN outside a string written as
// null (a missing value). Returns false, and leaves `out` unspecified,
// when the body has none to rewrite. Throws RequestError (400) for
// Infinity or -Infinity outside a string: like "inf" in a number column
// of `bnscore score`, an infinite number is refused.
bool RewriteJsonNan(std::string_view body, std::string& out);

}  // namespace bnscore::service

#endif  // BNSCORE_SERVICE_JSONNANTEXT_H_
