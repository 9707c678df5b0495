#include "service/HttpServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <signal.h>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/timerfd.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <deque>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <unordered_map>
#include <vector>

#include "service/HttpSession.h"
#include "service/ServerShared.h"
#include "service/ServiceRouter.h"

namespace bnscore::service {

namespace {

// A thread takes at most this many ready sockets at a time: the fewer it
// holds, the less waits when the kernel deschedules it.
constexpr int kEventsPerWait = 4;

// Makes the eventfd `fd` readable (safe in a signal handler).
void Notify(int fd) {
  const std::uint64_t one = 1;
  const ssize_t ignored = ::write(fd, &one, sizeof one);
  (void)ignored;
}

// Reads the count an eventfd or timerfd holds, so that it is not readable
// again until notified or expired again.
void Consume(int fd) {
  std::uint64_t count;
  const ssize_t ignored = ::read(fd, &count, sizeof count);
  (void)ignored;
}

// The eventfds that SIGTERM and SIGINT, and SIGHUP, write to while a
// server runs.
std::atomic<int> gSignalEvent{-1};
std::atomic<int> gHangupEvent{-1};

void OnSignal(int) {
  const int fd = gSignalEvent.load();
  if (fd >= 0) Notify(fd);
}

void OnHangup(int) {
  const int fd = gHangupEvent.load();
  if (fd >= 0) Notify(fd);
}

std::runtime_error SystemError(const std::string& what) {
  return std::runtime_error(what + ": " + std::strerror(errno));
}

}  // namespace

struct HttpServer::Impl {
  Impl(const ServiceRouter& router, ServiceMetrics& metrics, const ServerOptions& options)
      : options(options), shared{router, metrics, this->options} {}
  ~Impl();

  void WorkerLoop(RequestScratch& scratch);
  void Accept();
  void Serve(HttpSession* session, RequestScratch& scratch);
  void Close(HttpSession* session);
  // Shuts down the sockets whose deadline passed, resumes accepting after
  // a lack of descriptors, and ends a drain.
  void Tick();
  void StartDrain();
  void Stop(bool drainedInTime);
  // (Re)arms `fd` in the event set, one-shot unless `persistent`.
  bool Arm(int fd, void* tag, std::uint32_t events, int operation, bool persistent = false);
  std::chrono::milliseconds TickPeriod() const;

  ServerOptions options;
  ServerShared shared;
  int listener = -1;
  int events = -1;       // the epoll set
  int stopEvent = -1;    // readable once the server stops (never read: every thread sees it)
  int signalEvent = -1;  // written by the signal handler
  int hangupEvent = -1;  // written by the SIGHUP handler
  std::function<void()> reload;
  int ticker = -1;   // timerfd
  std::mutex mutex;  // guards the members below
  // Every open connection. A worker deletes a session only under the
  // mutex, so Tick and StartDrain may touch the sockets of those listed.
  std::unordered_map<HttpSession*, std::unique_ptr<HttpSession>> sessions;
  std::int64_t drainDeadline = 0;
  bool acceptPaused = false;  // out of descriptors: Tick rearms the listener
  bool drainedInTime = true;
  std::atomic<bool> stopped{false};
};

HttpServer::Impl::~Impl() {
  sessions.clear();
  for (int fd : {listener, events, stopEvent, signalEvent, hangupEvent, ticker}) {
    if (fd >= 0) ::close(fd);
  }
}

bool HttpServer::Impl::Arm(int fd, void* tag, std::uint32_t wanted, int operation,
                           bool persistent) {
  epoll_event event{};
  event.events = wanted | (persistent ? 0u : static_cast<std::uint32_t>(EPOLLONESHOT));
  event.data.ptr = tag;
  return ::epoll_ctl(events, operation, fd, &event) == 0;
}

std::chrono::milliseconds HttpServer::Impl::TickPeriod() const {
  const auto shortest = std::min({options.readTimeout, options.idleTimeout, options.writeTimeout,
                                  options.drainTimeout, std::chrono::milliseconds(2000)});
  return std::clamp(shortest / 8, std::chrono::milliseconds(5), std::chrono::milliseconds(250));
}

void HttpServer::Impl::WorkerLoop(RequestScratch& scratch) {
  epoll_event ready[kEventsPerWait];
  while (!stopped.load()) {
    const int count = ::epoll_wait(events, ready, kEventsPerWait, -1);
    for (int i = 0; i < count; ++i) {
      void* tag = ready[i].data.ptr;
      if (tag == &stopEvent) {
        return;
      } else if (tag == &listener) {
        Accept();
      } else if (tag == &signalEvent) {
        Consume(signalEvent);
        StartDrain();  // a second signal is not rearmed: the drain runs its course
      } else if (tag == &hangupEvent) {
        Consume(hangupEvent);
        if (reload) reload();
        Arm(hangupEvent, &hangupEvent, EPOLLIN, EPOLL_CTL_MOD);
      } else if (tag == &ticker) {
        Tick();
      } else {
        Serve(static_cast<HttpSession*>(tag), scratch);
      }
    }
  }
}

void HttpServer::Impl::Accept() {
  for (;;) {
    const int fd = ::accept4(listener, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd < 0) {
      if (errno == EINTR || errno == ECONNABORTED) continue;
      if (errno == EAGAIN || errno == EWOULDBLOCK) break;
      if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM) {
        std::lock_guard<std::mutex> lock(mutex);
        acceptPaused = true;  // wait a tick before accepting again
      }
      return;  // otherwise the listener was shut down by a drain
    }
    const int one = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    auto session = std::make_unique<HttpSession>(fd, shared);
    HttpSession* raw = session.get();
    {
      std::lock_guard<std::mutex> lock(mutex);
      if (shared.draining.load()) continue;  // closes the socket
      sessions.emplace(raw, std::move(session));
    }
    if (!Arm(fd, raw, EPOLLIN, EPOLL_CTL_ADD)) Close(raw);
  }
  if (!shared.draining.load()) Arm(listener, &listener, EPOLLIN, EPOLL_CTL_MOD);
}

void HttpServer::Impl::Serve(HttpSession* session, RequestScratch& scratch) {
  HttpSession::Next next;
  try {
    next = session->Serve(scratch);
  } catch (const std::exception&) {
    next = HttpSession::Next::kClose;  // out of memory for a buffer
  }
  const int fd = session->GetSocket();
  // After rearming, another thread may serve the session at once.
  if ((next == HttpSession::Next::kRead && Arm(fd, session, EPOLLIN, EPOLL_CTL_MOD)) ||
      (next == HttpSession::Next::kWrite && Arm(fd, session, EPOLLOUT, EPOLL_CTL_MOD))) {
    return;
  }
  Close(session);
}

void HttpServer::Impl::Close(HttpSession* session) {
  std::unique_ptr<HttpSession> gone;
  bool drained = false;
  {
    std::lock_guard<std::mutex> lock(mutex);
    const auto it = sessions.find(session);
    gone = std::move(it->second);
    sessions.erase(it);
    drained = shared.draining.load() && sessions.empty();
  }
  gone.reset();  // closes the socket: no other thread can reach it now
  if (drained) Stop(true);
}

void HttpServer::Impl::Tick() {
  Consume(ticker);
  const std::int64_t now = SteadyNow();
  bool stop = false;
  bool inTime = true;
  {
    std::lock_guard<std::mutex> lock(mutex);
    for (const auto& entry : sessions) {
      // The session sees its connection end and closes it.
      if (entry.second->GetDeadline() <= now) ::shutdown(entry.second->GetSocket(), SHUT_RDWR);
    }
    if (acceptPaused && !shared.draining.load()) {
      acceptPaused = false;
      Arm(listener, &listener, EPOLLIN, EPOLL_CTL_MOD);
    }
    if (shared.draining.load()) {
      stop = sessions.empty() || now >= drainDeadline;
      inTime = sessions.empty();
    }
  }
  if (stop) {
    Stop(inTime);
  } else {
    Arm(ticker, &ticker, EPOLLIN, EPOLL_CTL_MOD);
  }
}

void HttpServer::Impl::StartDrain() {
  if (shared.draining.exchange(true)) return;
  ::shutdown(listener, SHUT_RDWR);  // new connections are refused from now on
  bool empty;
  {
    std::lock_guard<std::mutex> lock(mutex);
    drainDeadline = DeadlineAfter(options.drainTimeout);
    // A connection waiting for a request, or for the rest of one, closes
    // now; one whose request has come, or that is answering, closes after
    // its reply.
    for (const auto& entry : sessions) entry.second->CloseIfWaitingForRequest();
    empty = sessions.empty();
  }
  if (empty) Stop(true);
}

void HttpServer::Impl::Stop(bool inTime) {
  // The first word stands: a drain cut off by its deadline stays so, even
  // when the last connection closes a moment later.
  if (stopped.exchange(true)) return;
  {
    std::lock_guard<std::mutex> lock(mutex);
    drainedInTime = inTime;
  }
  if (stopEvent >= 0) Notify(stopEvent);
}

HttpServer::HttpServer(const ServiceRouter& router, ServiceMetrics& metrics,
                       const ServerOptions& options)
    : impl_(std::make_unique<Impl>(router, metrics, options)) {}

HttpServer::~HttpServer() = default;

void HttpServer::Listen(const std::string& address, unsigned short port) {
  sockaddr_storage storage{};
  socklen_t length = 0;
  auto* v4 = reinterpret_cast<sockaddr_in*>(&storage);
  auto* v6 = reinterpret_cast<sockaddr_in6*>(&storage);
  if (::inet_pton(AF_INET, address.c_str(), &v4->sin_addr) == 1) {
    v4->sin_family = AF_INET;
    v4->sin_port = htons(port);
    length = sizeof *v4;
  } else if (::inet_pton(AF_INET6, address.c_str(), &v6->sin6_addr) == 1) {
    v6->sin6_family = AF_INET6;
    v6->sin6_port = htons(port);
    length = sizeof *v6;
  } else {
    throw std::runtime_error("invalid listen address \"" + address + "\"");
  }
  const std::string where = "cannot listen on " + address + ":" + std::to_string(port);
  const int fd = ::socket(storage.ss_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0) throw SystemError(where);
  const int one = 1;
  if (::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one) != 0 ||
      ::bind(fd, reinterpret_cast<sockaddr*>(&storage), length) != 0 ||
      ::listen(fd, SOMAXCONN) != 0) {
    const std::runtime_error error = SystemError(where);
    ::close(fd);
    throw error;
  }
  if (impl_->listener >= 0) ::close(impl_->listener);
  impl_->listener = fd;
}

void HttpServer::SetAccessLog(bnscore::service::AccessLog* log) { impl_->shared.log = log; }

void HttpServer::SetReloadHandler(std::function<void()> reload) {
  impl_->reload = std::move(reload);
}

unsigned short HttpServer::GetPort() const {
  sockaddr_storage storage{};
  socklen_t length = sizeof storage;
  ::getsockname(impl_->listener, reinterpret_cast<sockaddr*>(&storage), &length);
  if (storage.ss_family == AF_INET6) {
    return ntohs(reinterpret_cast<const sockaddr_in6*>(&storage)->sin6_port);
  }
  return ntohs(reinterpret_cast<const sockaddr_in*>(&storage)->sin_port);
}

bool HttpServer::Run() {
  Impl& impl = *impl_;
  impl.events = ::epoll_create1(EPOLL_CLOEXEC);
  impl.stopEvent = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  impl.signalEvent = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  impl.hangupEvent = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  impl.ticker = ::timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
  if (impl.events < 0 || impl.stopEvent < 0 || impl.signalEvent < 0 || impl.hangupEvent < 0 ||
      impl.ticker < 0) {
    throw SystemError("cannot start the server");
  }
  const auto period = std::chrono::duration_cast<std::chrono::nanoseconds>(impl.TickPeriod());
  itimerspec every{};
  every.it_interval.tv_sec = every.it_value.tv_sec = period.count() / 1000000000;
  every.it_interval.tv_nsec = every.it_value.tv_nsec = period.count() % 1000000000;
  if (::timerfd_settime(impl.ticker, 0, &every, nullptr) != 0 ||
      !impl.Arm(impl.stopEvent, &impl.stopEvent, EPOLLIN, EPOLL_CTL_ADD, true) ||
      !impl.Arm(impl.signalEvent, &impl.signalEvent, EPOLLIN, EPOLL_CTL_ADD) ||
      !impl.Arm(impl.hangupEvent, &impl.hangupEvent, EPOLLIN, EPOLL_CTL_ADD) ||
      !impl.Arm(impl.ticker, &impl.ticker, EPOLLIN, EPOLL_CTL_ADD) ||
      !impl.Arm(impl.listener, &impl.listener, EPOLLIN, EPOLL_CTL_ADD)) {
    throw SystemError("cannot start the server");
  }

  gSignalEvent.store(impl.signalEvent);
  struct sigaction onSignal {};
  onSignal.sa_handler = OnSignal;
  sigemptyset(&onSignal.sa_mask);
  onSignal.sa_flags = SA_RESTART;
  struct sigaction oldTerm {
  }, oldInt{}, oldHup{};
  ::sigaction(SIGTERM, &onSignal, &oldTerm);
  ::sigaction(SIGINT, &onSignal, &oldInt);
  gHangupEvent.store(impl.hangupEvent);
  struct sigaction onHangup = onSignal;
  onHangup.sa_handler = OnHangup;
  ::sigaction(SIGHUP, &onHangup, &oldHup);

  const std::size_t count = static_cast<std::size_t>(std::max(1, impl.options.threads));
  std::deque<RequestScratch> scratch(count);  // one per thread
  std::vector<std::thread> threads;
  for (std::size_t i = 1; i < count; ++i) {
    threads.emplace_back([&impl, &scratch, i] { impl.WorkerLoop(scratch[i]); });
  }
  impl.WorkerLoop(scratch[0]);
  for (std::thread& thread : threads) thread.join();

  ::sigaction(SIGTERM, &oldTerm, nullptr);
  ::sigaction(SIGINT, &oldInt, nullptr);
  ::sigaction(SIGHUP, &oldHup, nullptr);
  gSignalEvent.store(-1);
  gHangupEvent.store(-1);
  std::lock_guard<std::mutex> lock(impl.mutex);
  return impl.drainedInTime;
}

}  // namespace bnscore::service
