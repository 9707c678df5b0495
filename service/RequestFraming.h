#ifndef BNSCORE_SERVICE_REQUESTFRAMING_H_
#define BNSCORE_SERVICE_REQUESTFRAMING_H_

#include <string>
#include <string_view>

#include <boost/beast/http/fields.hpp>

namespace bnscore::service {

// Decides whether the server takes the framing of a request's body, from
// its header, before any of the body is used:
//  - Transfer-Encoding with Content-Length, or in an HTTP/1.0 request, is
//    refused (400): the two disagree on where the request ends;
//  - a Transfer-Encoding whose last coding is not "chunked" is refused
//    (400): the body would have no end but the connection's;
//  - a transfer coding other than "chunked" (gzip, compress, ...) is
//    refused (501): the server does not decode them, and never ignores one.
// Every refusal closes the connection, so that the bytes after such a
// request are never read as another request.
struct FramingFault {
  int status = 0;  // 0: the framing is taken
  std::string message;
};

FramingFault CheckFraming(const boost::beast::http::fields& fields, unsigned version);

// What the server looks for in every request's header, found in one pass
// over its fields (looking each up by name costs more, per request, than
// the rest of reading the header).
struct HeaderFacts {
  bool transferEncoding = false;  // CheckFraming has something to check
  bool contentEncoding = false;   // ContentEncodingOf has something to read
  std::string_view requestId;     // X-Request-Id ("" when absent)
  std::string_view ifNoneMatch;   // If-None-Match ("" when absent)
};
HeaderFacts ScanHeader(const boost::beast::http::fields& fields);

// How a request body is encoded (Content-Encoding).
enum class BodyEncoding { kIdentity, kGzip, kUnsupported };

// The body's encoding from the Content-Encoding values: none or
// "identity" is kIdentity, "gzip" or "x-gzip" (case blind) kGzip, and
// anything else, or more than one coding, kUnsupported.
BodyEncoding ContentEncodingOf(const boost::beast::http::fields& fields);

}  // namespace bnscore::service

#endif  // BNSCORE_SERVICE_REQUESTFRAMING_H_
