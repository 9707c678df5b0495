#ifndef BNSCORE_SERVICE_SERVERSHARED_H_
#define BNSCORE_SERVICE_SERVERSHARED_H_

#include <atomic>

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

#endif  // BNSCORE_SERVICE_SERVERSHARED_H_
