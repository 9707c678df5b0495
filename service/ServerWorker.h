#ifndef BNSCORE_SERVICE_SERVERWORKER_H_
#define BNSCORE_SERVICE_SERVERWORKER_H_

#include <atomic>
#include <optional>
#include <unordered_set>

#include <boost/asio/executor_work_guard.hpp>
#include <boost/asio/io_context.hpp>

#include "service/ServerOptions.h"
#include "service/ServiceRouter.h"

class HttpSession;
class ServiceMetrics;

// What every connection of a server shares; owned by the HttpServer,
// which outlives its connections.
struct ServerShared {
  const ServiceRouter& router;
  ServiceMetrics& metrics;
  const ServerOptions& options;
  std::atomic<bool> draining{false};
  std::atomic<long> liveSessions{0};
};

// One server thread: its event loop, the connections it serves (each
// connection stays on one worker) and the scratch space of its requests.
// Everything but `ioc` is touched only from the worker's own thread.
// Member order matters: the loop goes first, and deleting its pending
// handlers deletes their sessions, which leave `sessions` on the way.
struct ServerWorker {
  RequestScratch scratch;
  std::unordered_set<HttpSession*> sessions;  // not owned: each session owns itself
  boost::asio::io_context ioc{1};
  std::optional<boost::asio::executor_work_guard<boost::asio::io_context::executor_type>> guard{
      boost::asio::make_work_guard(ioc)};
};

#endif  // BNSCORE_SERVICE_SERVERWORKER_H_
