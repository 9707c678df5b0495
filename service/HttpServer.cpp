#include "service/HttpServer.h"

#include <chrono>
#include <deque>
#include <stdexcept>
#include <thread>
#include <vector>

#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/post.hpp>
#include <boost/asio/signal_set.hpp>
#include <boost/asio/steady_timer.hpp>

#include "service/HttpSession.h"
#include "service/ServerWorker.h"

namespace net = boost::asio;
using tcp = boost::asio::ip::tcp;

struct HttpServer::Impl {
  Impl(const ServiceRouter& router, ServiceMetrics& metrics, const ServerOptions& options)
      : options(options),
        shared{router, metrics, this->options},
        workers(static_cast<std::size_t>(options.threads < 1 ? 1 : options.threads)) {}

  void Accept();
  void StartDrain();
  void WatchDrain();

  ServerOptions options;
  ServerShared shared;
  std::deque<ServerWorker> workers;  // a deque: workers never move
  // The acceptor, the signals and the drain timer live on the first worker.
  tcp::acceptor acceptor{workers.front().ioc};
  net::signal_set signals{workers.front().ioc, SIGTERM, SIGINT};
  net::steady_timer drainTimer{workers.front().ioc};
  std::chrono::steady_clock::time_point drainDeadline;
  std::size_t nextWorker = 0;
  bool drainedInTime = true;
};

void HttpServer::Impl::Accept() {
  ServerWorker& worker = workers[nextWorker];
  nextWorker = (nextWorker + 1) % workers.size();
  acceptor.async_accept(worker.ioc, [this, &worker](boost::system::error_code ec, tcp::socket socket) {
    if (ec == net::error::operation_aborted || !acceptor.is_open()) return;
    if (!ec) {
      net::post(worker.ioc, [this, &worker, socket = std::move(socket)]() mutable {
        std::make_shared<HttpSession>(std::move(socket), worker, shared)->Start();
      });
    } else if (ec == net::error::no_descriptors || ec == net::error::no_buffer_space) {
      // Out of file descriptors: wait a little before accepting again.
      auto pause = std::make_shared<net::steady_timer>(acceptor.get_executor(),
                                                       std::chrono::milliseconds(50));
      pause->async_wait([this, pause](boost::system::error_code) {
        if (acceptor.is_open()) Accept();
      });
      return;
    }
    Accept();
  });
}

void HttpServer::Impl::StartDrain() {
  if (shared.draining.exchange(true)) return;
  boost::system::error_code ignored;
  acceptor.close(ignored);
  signals.cancel(ignored);
  for (ServerWorker& worker : workers) {
    net::post(worker.ioc, [&worker] {
      // Drain may close a session, which then leaves the set: copy first.
      std::vector<HttpSession*> sessions(worker.sessions.begin(), worker.sessions.end());
      for (HttpSession* session : sessions) {
        if (worker.sessions.count(session) > 0) session->Drain();
      }
    });
  }
  drainDeadline = std::chrono::steady_clock::now() + options.drainTimeout;
  WatchDrain();
}

void HttpServer::Impl::WatchDrain() {
  if (shared.liveSessions.load() == 0 || std::chrono::steady_clock::now() >= drainDeadline) {
    drainedInTime = shared.liveSessions.load() == 0;
    for (ServerWorker& worker : workers) {
      worker.guard.reset();
      if (!drainedInTime) worker.ioc.stop();
    }
    return;
  }
  drainTimer.expires_after(std::chrono::milliseconds(10));
  drainTimer.async_wait([this](boost::system::error_code) { WatchDrain(); });
}

HttpServer::HttpServer(const ServiceRouter& router, ServiceMetrics& metrics,
                       const ServerOptions& options)
    : impl_(std::make_unique<Impl>(router, metrics, options)) {}

HttpServer::~HttpServer() = default;

void HttpServer::Listen(const std::string& address, unsigned short port) {
  boost::system::error_code ec;
  const net::ip::address ip = net::ip::make_address(address, ec);
  if (ec) throw std::runtime_error("invalid listen address \"" + address + "\"");
  const tcp::endpoint endpoint(ip, port);
  tcp::acceptor& acceptor = impl_->acceptor;
  acceptor.open(endpoint.protocol(), ec);
  if (!ec) acceptor.set_option(net::socket_base::reuse_address(true), ec);
  if (!ec) acceptor.bind(endpoint, ec);
  if (!ec) acceptor.listen(net::socket_base::max_listen_connections, ec);
  if (ec) {
    throw std::runtime_error("cannot listen on " + address + ":" + std::to_string(port) + ": " +
                             ec.message());
  }
}

unsigned short HttpServer::GetPort() const { return impl_->acceptor.local_endpoint().port(); }

bool HttpServer::IsLoopback() const {
  return impl_->acceptor.local_endpoint().address().is_loopback();
}

bool HttpServer::Run() {
  impl_->signals.async_wait([this](boost::system::error_code ec, int) {
    if (!ec) impl_->StartDrain();
  });
  impl_->Accept();
  std::vector<std::thread> threads;
  for (std::size_t i = 1; i < impl_->workers.size(); ++i) {
    threads.emplace_back([this, i] { impl_->workers[i].ioc.run(); });
  }
  impl_->workers.front().ioc.run();
  for (std::thread& thread : threads) thread.join();
  return impl_->drainedInTime;
}

void HttpServer::Drain() {
  net::post(impl_->workers.front().ioc, [this] { impl_->StartDrain(); });
}
