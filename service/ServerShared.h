#ifndef BNSCORE_SERVICE_SERVERSHARED_H_
#define BNSCORE_SERVICE_SERVERSHARED_H_

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>

#include "service/ServerOptions.h"

namespace bnscore::service {

class AccessLog;
class ServiceMetrics;
class ServiceRouter;

// What every connection of a server shares; owned by the HttpServer,
// which outlives its connections.
struct ServerShared {
  const ServiceRouter& router;
  ServiceMetrics& metrics;
  const ServerOptions& options;
  bnscore::service::AccessLog* log = nullptr;  // null: no access log
  std::atomic<bool> draining{false};
  // Bytes of large request bodies held by all connections (see
  // ServerOptions::maxBuffered).
  std::atomic<std::size_t> buffered{0};

  // Reserves `bytes` more of the budget; false when they do not fit. A
  // request holding nothing else may always have one body of up to
  // --max-body, so that the limits cannot lock out every large body.
  bool Reserve(std::size_t bytes, std::size_t alreadyHeld) {
    std::size_t now = buffered.load(std::memory_order_relaxed);
    for (;;) {
      const bool fits = now + bytes <= options.maxBuffered || now == alreadyHeld;
      if (!fits) return false;
      if (buffered.compare_exchange_weak(now, now + bytes, std::memory_order_relaxed)) return true;
    }
  }
  void Release(std::size_t bytes) { buffered.fetch_sub(bytes, std::memory_order_relaxed); }
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

}  // namespace bnscore::service

#endif  // BNSCORE_SERVICE_SERVERSHARED_H_
