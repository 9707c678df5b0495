#ifndef BNSCORE_SERVICE_HTTPSERVER_H_
#define BNSCORE_SERVICE_HTTPSERVER_H_

#include <functional>
#include <memory>
#include <string>

#include "service/ServerOptions.h"

namespace bnscore::service {

class AccessLog;
class ServiceMetrics;
class ServiceRouter;

// The HTTP server: listens on one address and answers requests with the
// router on `threads` threads.
//
// All threads wait on one event set (epoll) that holds every connection,
// each armed one-shot, and take a few ready connections at a time. A
// connection is not tied to a thread: when the kernel deschedules one
// server thread, the others go on serving every client, so no request
// waits for a thread that is not running.
//
// SIGTERM and SIGINT drain the server: it stops accepting, closes the
// connections that wait for a request or for the rest of one, answers the
// requests it has received (for at most the drain timeout) and then Run
// returns. One server may run in a process at a
// time (the signals are caught for it). The router and the metrics must
// outlive the server.
class HttpServer {
 public:
  HttpServer(const ServiceRouter& router, ServiceMetrics& metrics, const ServerOptions& options);
  ~HttpServer();
  HttpServer(const HttpServer&) = delete;
  HttpServer& operator=(const HttpServer&) = delete;

  // Binds and listens on `address` (an IPv4 or IPv6 literal) and `port`
  // (0: a free port). Throws std::runtime_error saying what failed.
  void Listen(const std::string& address, unsigned short port);
  // Logs every answered request to `log` (which must outlive the server);
  // null, the default, logs nothing.
  void SetAccessLog(bnscore::service::AccessLog* log);
  // SIGHUP calls `reload` on a server thread (the others go on serving);
  // without one, SIGHUP is ignored while the server runs.
  void SetReloadHandler(std::function<void()> reload);
  // The port listened on (useful after port 0).
  unsigned short GetPort() const;

  // Serves until drained. Returns true when every request in flight
  // finished, false when the drain timeout cut some off. Throws
  // std::runtime_error when the event set cannot be made.
  bool Run();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace bnscore::service

#endif  // BNSCORE_SERVICE_HTTPSERVER_H_
