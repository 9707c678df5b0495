#ifndef BNSCORE_SERVICE_SERVERSHARED_H_
#define BNSCORE_SERVICE_SERVERSHARED_H_

#include <atomic>
#include <chrono>
#include <cstdint>

#include "service/ServerOptions.h"

class ServiceMetrics;
class ServiceRouter;

// What every connection of a server shares; owned by the HttpServer,
// which outlives its connections.
struct ServerShared {
  const ServiceRouter& router;
  ServiceMetrics& metrics;
  const ServerOptions& options;
  std::atomic<bool> draining{false};
};

// Connection deadlines are steady_clock nanoseconds: one atomic integer
// holds one.
inline std::int64_t SteadyNow() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

inline std::int64_t DeadlineAfter(std::chrono::milliseconds timeout) {
  return SteadyNow() + std::chrono::duration_cast<std::chrono::nanoseconds>(timeout).count();
}

#endif  // BNSCORE_SERVICE_SERVERSHARED_H_
