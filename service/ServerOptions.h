#ifndef BNSCORE_SERVICE_SERVEROPTIONS_H_
#define BNSCORE_SERVICE_SERVEROPTIONS_H_

#include <chrono>
#include <cstddef>

namespace bnscore::service {

// How the HTTP server runs.
struct ServerOptions {
  int threads = 2;                  // server threads, all serving every connection
  std::size_t maxBody = 64u << 20;  // larger request bodies get 413
  // Bytes of request bodies (over 64 KiB each) that all connections
  // together may hold; past it a new body gets 503 with Retry-After.
  std::size_t maxBuffered = 256u << 20;
  std::chrono::milliseconds readTimeout{30000};   // for a request's header, then for its body
  std::chrono::milliseconds idleTimeout{60000};   // a keep-alive connection without a request
  std::chrono::milliseconds writeTimeout{30000};  // for a reply
  std::chrono::milliseconds drainTimeout{30000};  // after SIGTERM, for requests in flight
};

}  // namespace bnscore::service

#endif  // BNSCORE_SERVICE_SERVEROPTIONS_H_
