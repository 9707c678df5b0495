#ifndef BNSCORE_SERVICE_GZIPBODY_H_
#define BNSCORE_SERVICE_GZIPBODY_H_

#include <cstddef>
#include <string>
#include <string_view>

namespace bnscore::service {

// Decompresses a request body sent with Content-Encoding: gzip (one or
// more gzip members, as gzip -c writes them one after another) into
// `out` (cleared first), never growing it past `limit` bytes: a body
// that inflates past it is refused before it is all decompressed, so that
// a small body cannot make the server hold a huge one. Throws RequestError:
// 413 past the limit, 400 for data that is not gzip, or cut short.
void InflateGzipBody(std::string_view compressed, std::size_t limit, std::string& out);

}  // namespace bnscore::service

#endif  // BNSCORE_SERVICE_GZIPBODY_H_
