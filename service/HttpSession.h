#ifndef BNSCORE_SERVICE_HTTPSESSION_H_
#define BNSCORE_SERVICE_HTTPSESSION_H_

#include <sys/types.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include <boost/beast/core/flat_buffer.hpp>
#include <boost/beast/http/parser.hpp>

#include "service/RequestBody.h"
#include "service/RequestFraming.h"
#include "service/ServerShared.h"
#include "service/ServiceRouter.h"

namespace bnscore::service {

// One HTTP/1.1 connection: reads a request (header, then a body of at most
// the size limit) with Beast's parser, hands it to the router, writes the
// reply and, for keep-alive, waits for the next request. The rest of a body
// of known length is received straight into the body (RequestBody), whose
// block is allocated only once the server's body budget holds it.
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
  // For a drain, on another thread: closes the connection when it waits
  // for a request, or for the rest of one, and the kernel holds no more
  // bytes of it (a request that has arrived is still read and answered).
  // Returns true when it closed it.
  bool CloseIfWaitingForRequest();

 private:
  using Parser = boost::beast::http::request_parser<RequestBody>;
  enum class Phase { kRequest, kReply, kLinger };

  void StartRequest();
  Next ReadRequest(RequestScratch& scratch);
  // Parses what the buffer holds; returns true when the request is complete.
  bool Parse(boost::beast::error_code& ec);
  // Receives (part of) a body of known length straight into the body, once
  // the budget holds it, and parses it there; see ReadRequest.
  ssize_t ReceiveBody(std::size_t left, boost::beast::error_code& ec);
  Next Answer(RequestScratch& scratch);
  // Answers a request that could not be read; the connection then closes.
  Next Refuse(int status, const std::string& message, RequestScratch& scratch);
  // Checks the framing of the request whose header has been parsed; on a
  // refusal sets refusal_ and returns false.
  bool CheckFraming();
  // Holds enough of the server's body budget for the body read so far and
  // `more` bytes; false (and refusal_ set) when the budget is spent.
  bool ReserveBody(std::size_t more);
  // Gives back the budget the body holds.
  void ReleaseBody();
  // Frees the request's body (and its inflated copy) and releases its
  // budget, once the reply is made.
  void DropBody();
  // Takes the request's X-Request-Id when it is a fit token, else makes one.
  void TakeRequestId(std::string_view given);
  void LogRequest(std::string_view method, std::string_view target);
  // Begins head_ with the status line, the content type and, when the
  // connection closes after the reply, "Connection: close" (no line end).
  void StartHead(int status, const char* contentType);
  // Answers a request that was read but cannot be served (a body that
  // cannot be decoded); the connection stays open as the request asked.
  Next AnswerError(int status, const std::string& message, RequestScratch& scratch);
  // Makes reply_ the JSON error `status` with `message` (503 with
  // Retry-After) and counts it.
  void SetErrorReply(int status, const std::string& message);
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
  // Parks it waiting for (the rest of) a request until `deadline`; closes
  // it instead when the server drains.
  Next WaitForRequest(std::int64_t deadline);
  // ReplyStream:
  void Begin(int status, const char* contentType) override;
  void Chunk(std::string_view data) override;
  // Ends a streamed reply: what is left in the body, then the last chunk.
  void FinishStream();
  // Sends `data` now, waiting at most until the write timeout.
  void SendNow(std::string_view data);
  // The same for `count` (at most 3) pieces sent one after another; the
  // views are advanced as they go.
  void SendNow(std::string_view* parts, int count);

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
  std::string head_;                          // status line and header of the reply
  std::size_t sent_ = 0;                      // bytes of head_ and then reply_.body sent
  std::int64_t phaseDeadline_ = kNoDeadline;  // of the request, the reply or the lingering
  std::atomic<std::int64_t> deadline_{kNoDeadline};
  // kServed while a thread serves the session; kWaitingForRequest while it
  // is parked reading a request; kClosedByDrain once a drain shut it down.
  enum State : int { kServed, kParked, kWaitingForRequest, kClosedByDrain };
  std::atomic<int> state_{kServed};

  // The framing check of the request's header (see CheckFraming): done
  // once, and the status and message of a refusal (0: none).
  bool headerChecked_ = false;
  bnscore::service::HeaderFacts header_;
  int refusal_ = 0;
  std::string refusalMessage_;
  // Bytes of the server's body budget this request holds.
  std::size_t reserved_ = 0;
  std::string inflated_;   // the body of a gzip request, decompressed
  bool headOnly_ = false;  // a HEAD request: the reply has no body
  std::string requestId_;
  std::int64_t requestStart_ = 0;  // steady nanoseconds, when logging
};

}  // namespace bnscore::service

#endif  // BNSCORE_SERVICE_HTTPSESSION_H_
