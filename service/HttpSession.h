#ifndef BNSCORE_SERVICE_HTTPSESSION_H_
#define BNSCORE_SERVICE_HTTPSESSION_H_

#include <atomic>
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include <boost/beast/core/flat_buffer.hpp>
#include <boost/beast/http/parser.hpp>
#include <boost/beast/http/string_body.hpp>

#include "service/ServerShared.h"
#include "service/ServiceRouter.h"

// One HTTP/1.1 connection: reads a request (header, then a body of at most
// the size limit) with Beast's parser, hands it to the router, writes the
// reply and, for keep-alive, waits for the next request.
//
// The session never waits for the network itself: Serve does what the
// socket is ready for and says what to wait for next, and the server
// parks the socket in its event set until then. Whichever server thread
// the socket wakes calls Serve, one at a time (the socket is armed
// one-shot). The exception is a reply the router streams: it goes out
// with blocking writes, each bounded by the write timeout.
//
// Deadlines are kept here and enforced by the server, which shuts the
// socket down when one passes; the session then sees the connection end.
// The session owns its socket and closes it when deleted; the server owns
// the session.
class HttpSession : private ReplyStream {
 public:
  enum class Next { kRead, kWrite, kClose };
  static constexpr std::int64_t kNoDeadline = INT64_MAX;

  HttpSession(int socket, ServerShared& shared);
  ~HttpSession() override;
  HttpSession(const HttpSession&) = delete;
  HttpSession& operator=(const HttpSession&) = delete;

  int GetSocket() const { return socket_; }
  // Serves the connection until it would wait; `scratch` is the calling
  // thread's.
  Next Serve(RequestScratch& scratch);

  // For the server's other threads while the socket is parked. The
  // deadline is in steady_clock nanoseconds (kNoDeadline while served).
  std::int64_t GetDeadline() const { return deadline_.load(std::memory_order_relaxed); }
  // Waiting for a request with nothing of it received: a drain closes it.
  bool IsIdle() const { return idle_.load(std::memory_order_relaxed); }

 private:
  using Parser = boost::beast::http::request_parser<boost::beast::http::string_body>;
  enum class Phase { kRequest, kReply, kLinger };

  void StartRequest();
  Next ReadRequest(RequestScratch& scratch);
  // Parses what the buffer holds; returns true when the request is complete.
  bool Parse(boost::beast::error_code& ec);
  Next Answer(RequestScratch& scratch);
  // Answers a request that could not be read; the connection then closes.
  Next Refuse(int status, const std::string& message, RequestScratch& scratch);
  // Begins head_ with the status line, the content type and, when the
  // connection closes after the reply, "Connection: close" (no line end).
  void StartHead(int status, const char* contentType);
  // Writes the reply's status line and header, then sends it all.
  Next StartReply(RequestScratch& scratch);
  Next SendReply(RequestScratch& scratch);
  Next AfterReply(RequestScratch& scratch);
  // After a refusal: reads and drops what the client still sends, then
  // closes (closing with unread bytes would reset the connection, and the
  // client might lose the reply).
  Next Linger();
  // Parks the session until `deadline` (see SteadyNow).
  Next Park(Next next, std::int64_t deadline);
  // Parks it waiting for a request, none of which has come.
  Next ParkIdle();
  // ReplyStream:
  void Begin(int status, const char* contentType) override;
  void Chunk(std::string_view data) override;
  // Ends a streamed reply: what is left in the body, then the last chunk.
  void FinishStream();
  // Sends `data` now, waiting at most until the write timeout.
  void SendNow(std::string_view data);

  const int socket_;
  ServerShared& shared_;
  Phase phase_ = Phase::kRequest;
  boost::beast::flat_buffer buffer_;
  std::optional<Parser> parser_;
  bool requestStarted_ = false;  // bytes of the current request have arrived
  bool continueSent_ = false;    // "100 Continue" went out for it
  bool keepAlive_ = false;       // of the request being answered
  bool refused_ = false;         // the reply refuses a request that was not read
  HttpReply reply_;
  std::string head_;             // status line and header of the reply
  std::size_t sent_ = 0;         // bytes of head_ and then reply_.body sent
  std::string chunk_;            // a streamed chunk with its framing
  std::int64_t phaseDeadline_ = kNoDeadline;  // of the request, the reply or the lingering
  std::atomic<std::int64_t> deadline_{kNoDeadline};
  std::atomic<bool> idle_{false};
};

#endif  // BNSCORE_SERVICE_HTTPSESSION_H_
