#include "service/HttpSession.h"

#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <random>
#include <stdexcept>

#include <boost/beast/core/string.hpp>
#include <boost/beast/http/error.hpp>
#include <boost/beast/http/status.hpp>

#include "service/AccessLog.h"
#include "service/GzipBody.h"
#include "bnscore/JsonText.h"
#include "service/JsonErrorText.h"
#include "service/RequestError.h"
#include "service/RequestFraming.h"
#include "service/ServiceMetrics.h"

namespace bnscore::service {

using bnscore::service::AccessLog;
using bnscore::service::BodyEncoding;
using bnscore::service::ContentEncodingOf;
using bnscore::service::FramingFault;
using bnscore::service::HeaderFacts;
using bnscore::service::InflateGzipBody;
using bnscore::service::ScanHeader;

namespace beast = boost::beast;
namespace http = boost::beast::http;

namespace {

constexpr std::string_view kContinue = "HTTP/1.1 100 Continue\r\n\r\n";
constexpr std::size_t kHeaderLimit = 16 * 1024;
constexpr std::size_t kHeaderReadRoom = 4096;
// A large body is read up to 64 KB at a time; the buffer shrinks back once
// the connection waits for its next request.
constexpr std::size_t kBodyReadRoom = 64 * 1024;
constexpr std::chrono::milliseconds kLingerTime{2000};
// A body up to this size takes none of the server's body budget: it is
// within what every connection may hold anyway. Larger bodies of unknown
// length (chunked) take the budget in steps of kBudgetStep.
constexpr std::size_t kSmallBody = kBodyReadRoom;
constexpr std::size_t kBudgetStep = 1 << 20;
// Buffers that grew past this for one request are given back after it.
constexpr std::size_t kKeptReplyCapacity = 256 * 1024;
constexpr std::size_t kRequestIdLimit = 128;

// Request ids the server makes: a 64-bit count from a random start,
// mixed so that ids of consecutive requests look unrelated.
std::atomic<std::uint64_t> gRequestCount{std::random_device{}()};

void AppendRequestId(std::string& out) {
  std::uint64_t x = gRequestCount.fetch_add(1, std::memory_order_relaxed);
  x += 0x9e3779b97f4a7c15ULL;
  x = (x ^ (x >> 30)) * 0xbf58476d1ce4e5b9ULL;
  x = (x ^ (x >> 27)) * 0x94d049bb133111ebULL;
  x ^= x >> 31;
  static constexpr char kHex[] = "0123456789abcdef";
  char digits[16];
  for (int i = 15; i >= 0; --i, x >>= 4) digits[i] = kHex[x & 15];
  out.append(digits, 16);
}

// A request id taken as the client gave it: 1 to 128 letters, digits and
// "-_.:/+=" (nothing that would need quoting in a header or a log line).
bool IsFitRequestId(std::string_view id) {
  if (id.empty() || id.size() > kRequestIdLimit) return false;
  for (char c : id) {
    const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                    c == '-' || c == '_' || c == '.' || c == ':' || c == '/' || c == '+' ||
                    c == '=';
    if (!ok) return false;
  }
  return true;
}

void AppendNumber(std::string& out, std::size_t value) {
  char digits[24];
  const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
  out.append(digits, end);
}

}  // namespace

HttpSession::HttpSession(int socket, ServerShared& shared) : socket_(socket), shared_(shared) {
  StartRequest();
  // The server adds the session unless it drains.
  deadline_.store(DeadlineAfter(shared_.options.idleTimeout), std::memory_order_relaxed);
  state_.store(kWaitingForRequest);
}

HttpSession::~HttpSession() {
  ReleaseBody();
  ::close(socket_);
}

HttpSession::Next HttpSession::Serve(RequestScratch& scratch) {
  deadline_.store(kNoDeadline, std::memory_order_relaxed);
  if (state_.exchange(kServed) == kClosedByDrain) return Next::kClose;
  switch (phase_) {
    case Phase::kRequest:
      return ReadRequest(scratch);
    case Phase::kReply:
      return SendReply(scratch);
    case Phase::kLinger:
      return Linger();
  }
  return Next::kClose;
}

HttpSession::Next HttpSession::Park(Next next, std::int64_t deadline) {
  deadline_.store(deadline, std::memory_order_relaxed);
  state_.store(kParked);
  return next;
}

HttpSession::Next HttpSession::ParkIdle() {
  return WaitForRequest(DeadlineAfter(shared_.options.idleTimeout));
}

HttpSession::Next HttpSession::WaitForRequest(std::int64_t deadline) {
  // A drain closes a connection whose request has not all come: it counts
  // as idle. The state is published before the drain flag is looked at,
  // and the drain sets its flag before it looks at the state, so that one
  // of the two always sees the other.
  if (shared_.draining.load()) return Next::kClose;
  const Next next = Park(Next::kRead, deadline);
  state_.store(kWaitingForRequest);
  if (shared_.draining.load()) {
    int expected = kWaitingForRequest;
    // Unless the drain took the session first, which then shut it down.
    state_.compare_exchange_strong(expected, kServed);
    return Next::kClose;
  }
  return next;
}

bool HttpSession::CloseIfWaitingForRequest() {
  if (state_.load() != kWaitingForRequest) return false;
  int waiting = 0;
  if (::ioctl(socket_, FIONREAD, &waiting) == 0 && waiting > 0) return false;
  int expected = kWaitingForRequest;
  if (!state_.compare_exchange_strong(expected, kClosedByDrain)) return false;
  ::shutdown(socket_, SHUT_RDWR);  // the thread it wakes closes the session
  return true;
}

void HttpSession::StartRequest() {
  if (buffer_.size() == 0 && buffer_.capacity() > kHeaderLimit) buffer_.shrink_to_fit();
  ReleaseBody();
  if (inflated_.capacity() > kKeptReplyCapacity) std::string().swap(inflated_);
  headerChecked_ = false;
  header_ = HeaderFacts();
  refusal_ = 0;
  parser_.emplace();
  parser_->header_limit(kHeaderLimit);
  parser_->body_limit(shared_.options.maxBody);
  parser_->eager(true);
  requestStarted_ = false;
  continueSent_ = false;
  phase_ = Phase::kRequest;
}

bool HttpSession::Parse(beast::error_code& ec) {
  while (buffer_.size() > 0 && !parser_->is_done()) {
    buffer_.consume(parser_->put(buffer_.data(), ec));
    if (ec == http::error::need_more) {
      ec = {};
      break;
    }
    if (ec) return false;
  }
  // The framing is checked before anything is done with the body, and a
  // request framed in a way this server does not take ends the
  // connection: the bytes after it are never read as a request.
  if (parser_->is_header_done() && !headerChecked_) {
    headerChecked_ = true;
    if (!CheckFraming()) return false;
  }
  if (refusal_ != 0) return false;
  if (parser_->is_header_done() && !parser_->is_done() && !continueSent_ &&
      beast::iequals(parser_->get()[http::field::expect], "100-continue")) {
    continueSent_ = true;
    SendNow(kContinue);
  }
  return parser_->is_done();
}

HttpSession::Next HttpSession::ReadRequest(RequestScratch& scratch) {
  bool received = false;  // body bytes went straight into the body: see if it is complete
  for (;;) {
    if (buffer_.size() > 0 || received) {
      received = false;
      // The request's deadline runs from its first byte; before that the
      // connection may stay idle for longer.
      if (!requestStarted_) {
        requestStarted_ = true;
        requestStart_ = SteadyNow();
        phaseDeadline_ = requestStart_ + std::chrono::duration_cast<std::chrono::nanoseconds>(
                                             shared_.options.readTimeout)
                                             .count();
      }
      beast::error_code ec;
      bool complete = false;
      try {
        complete = Parse(ec);
      } catch (const std::exception&) {
        return Next::kClose;  // the "100 Continue" could not be sent
      }
      if (refusal_ != 0) return Refuse(refusal_, refusalMessage_, scratch);
      if (complete) return Answer(scratch);
      if (ec == http::error::body_limit) {
        return Refuse(413,
                      "the request body is larger than the limit of " +
                          std::to_string(shared_.options.maxBody) + " bytes (--max-body)",
                      scratch);
      }
      if (ec == http::error::header_limit) {
        return Refuse(
            431, "the request header is larger than " + std::to_string(kHeaderLimit) + " bytes",
            scratch);
      }
      if (ec) return Refuse(400, "malformed HTTP request: " + ec.message(), scratch);
    }
    std::size_t room = kHeaderReadRoom;
    if (parser_->is_header_done()) {
      const auto left = parser_->content_length_remaining();
      room = left ? static_cast<std::size_t>(std::min<std::uint64_t>(*left, kBodyReadRoom))
                  : kBodyReadRoom;
      if (!ReserveBody(room)) return Refuse(refusal_, refusalMessage_, scratch);
    }
    ssize_t got = 0;
    if (parser_->is_header_done() && parser_->content_length_remaining().value_or(0) > 0) {
      // The rest of a body of known length: straight into the body, which
      // the budget now holds whole, without passing through buffer_.
      beast::error_code ec;
      got = ReceiveBody(static_cast<std::size_t>(*parser_->content_length_remaining()), ec);
      if (ec) return Refuse(400, "malformed HTTP request: " + ec.message(), scratch);
      if (got > 0) {
        received = true;
        continue;
      }
    } else {
      const auto space = buffer_.prepare(std::max<std::size_t>(room, 512));
      got = ::recv(socket_, space.data(), space.size(), 0);
      if (got > 0) {
        buffer_.commit(static_cast<std::size_t>(got));
        continue;
      }
    }
    if (got < 0 && errno == EINTR) continue;
    if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      return requestStarted_ ? WaitForRequest(phaseDeadline_) : ParkIdle();
    }
    // The client closed its side, the connection broke, or the server shut
    // it down at the deadline. A header cut short by the client is
    // answered (it may still read); anything else ends the connection.
    if (got == 0 && requestStarted_ && !parser_->is_header_done() && SteadyNow() < phaseDeadline_) {
      beast::error_code ec;
      parser_->put_eof(ec);
      return Refuse(400, "malformed HTTP request: " + (ec ? ec.message() : "partial message"),
                    scratch);
    }
    return Next::kClose;
  }
}

ssize_t HttpSession::ReceiveBody(std::size_t left, beast::error_code& ec) {
  BodyBuffer& body = parser_->get().body();
  body.Reserve(body.Size() + left);
  char* const into = body.FreeSpace();
  const ssize_t got = ::recv(socket_, into, left, 0);
  // The parser counts the bytes against the length and hands them to the
  // body, which finds them in place.
  if (got > 0) parser_->put(boost::asio::const_buffer(into, static_cast<std::size_t>(got)), ec);
  return got;
}

bool HttpSession::CheckFraming() {
  const http::request<RequestBody>& request = parser_->get();
  header_ = ScanHeader(request);
  if (!header_.transferEncoding) return true;
  FramingFault fault = bnscore::service::CheckFraming(request, request.version());
  if (fault.status == 0) return true;
  refusal_ = fault.status;
  refusalMessage_ = std::move(fault.message);
  return false;
}

bool HttpSession::ReserveBody(std::size_t more) {
  const std::size_t held = parser_->get().body().Size() + more;
  if (held <= kSmallBody || held <= reserved_) return true;
  std::size_t want = (held + kBudgetStep - 1) / kBudgetStep * kBudgetStep;
  if (const auto length = parser_->content_length()) {
    want = std::max<std::size_t>(held, static_cast<std::size_t>(*length));  // at once
  }
  want = std::min(want, std::max(held, shared_.options.maxBody));
  if (!shared_.Reserve(want - reserved_, reserved_)) {
    refusal_ = 503;
    refusalMessage_ =
        "the server holds as many request bodies as it may (--max-buffered); retry later";
    return false;
  }
  reserved_ = want;
  return true;
}

void HttpSession::ReleaseBody() {
  if (reserved_ > 0) shared_.Release(reserved_);
  reserved_ = 0;
}

void HttpSession::DropBody() {
  parser_->get().body() = BodyBuffer();
  if (inflated_.capacity() > kKeptReplyCapacity) {
    std::string().swap(inflated_);
  } else {
    inflated_.clear();
  }
  ReleaseBody();
}

void HttpSession::TakeRequestId(std::string_view given) {
  requestId_.clear();
  if (IsFitRequestId(given)) {
    requestId_.assign(given);
  } else {
    AppendRequestId(requestId_);
  }
}

void HttpSession::LogRequest(std::string_view method, std::string_view target) {
  AccessLog::Entry entry;
  entry.requestId = requestId_;
  entry.method = method;
  entry.path = target.substr(0, target.find('?'));
  entry.model = reply_.model;
  entry.status = reply_.status;
  entry.records = reply_.records;
  entry.latencySeconds = static_cast<double>(SteadyNow() - requestStart_) / 1e9;
  shared_.log->Request(entry);
}

void HttpSession::SetErrorReply(int status, const std::string& message) {
  reply_.status = status;
  reply_.contentType = "application/json";
  reply_.allow = nullptr;
  reply_.streamed = false;
  reply_.headers.clear();
  reply_.model.clear();
  reply_.records = 0;
  if (status == 503) reply_.headers = "\r\nRetry-After: 1";
  reply_.body.clear();
  WriteJsonError(reply_.body, status, message);
  shared_.metrics.CountResponse(status);
}

HttpSession::Next HttpSession::AnswerError(int status, const std::string& message,
                                           RequestScratch& scratch) {
  SetErrorReply(status, message);
  return StartReply(scratch);
}

HttpSession::Next HttpSession::Answer(RequestScratch& scratch) {
  const http::request<RequestBody>& request = parser_->get();
  TakeRequestId(header_.requestId);
  headOnly_ = request.method() == http::verb::head;
  keepAlive_ = request.keep_alive() && !shared_.draining.load();
  std::string_view body = request.body().View();
  switch (header_.contentEncoding ? ContentEncodingOf(request) : BodyEncoding::kIdentity) {
    case BodyEncoding::kIdentity:
      break;
    case BodyEncoding::kGzip:
      try {
        InflateGzipBody(body, shared_.options.maxBody, inflated_);
      } catch (const RequestError& e) {
        return AnswerError(e.GetStatus(), e.what(), scratch);
      }
      if (inflated_.size() > kSmallBody && !shared_.Reserve(inflated_.size(), reserved_)) {
        reply_.headers.clear();
        return Refuse(503,
                      "the server holds as many request bodies as it may (--max-buffered); "
                      "retry later",
                      scratch);
      }
      if (inflated_.size() > kSmallBody) reserved_ += inflated_.size();
      body = inflated_;
      break;
    case BodyEncoding::kUnsupported: {
      const auto given = request[http::field::content_encoding];
      return AnswerError(415,
                         "unsupported Content-Encoding \"" + std::string(given) +
                             "\": send the body as it is, or with Content-Encoding: gzip",
                         scratch);
    }
  }
  HttpRequest routed;
  routed.method = std::string_view(request.method_string().data(), request.method_string().size());
  routed.target = std::string_view(request.target().data(), request.target().size());
  const auto contentType = request[http::field::content_type];
  routed.contentType = std::string_view(contentType.data(), contentType.size());
  const auto authorization = request[http::field::authorization];
  routed.authorization = std::string_view(authorization.data(), authorization.size());
  routed.body = body;
  routed.stream = headOnly_ ? nullptr : this;
  routed.requestId = requestId_;
  routed.ifNoneMatch = header_.ifNoneMatch;
  shared_.router.Handle(routed, scratch, reply_);
  // The reply is made: the body is not read again, and its memory and
  // budget go back now rather than once the reply is sent, so that a
  // client that has its answer finds the budget free.
  DropBody();
  if (reply_.broken) {
    if (shared_.log != nullptr) LogRequest(routed.method, routed.target);
    return Next::kClose;
  }
  if (reply_.streamed) {
    try {
      FinishStream();
    } catch (const std::exception&) {
      return Next::kClose;
    }
    return AfterReply(scratch);
  }
  keepAlive_ = keepAlive_ && !shared_.draining.load();
  return StartReply(scratch);
}

HttpSession::Next HttpSession::StartReply(RequestScratch& scratch) {
  StartHead(reply_.status, reply_.contentType);
  if (reply_.allow != nullptr) {
    head_ += "\r\nAllow: ";
    head_ += reply_.allow;
  }
  if (reply_.status == 401) head_ += "\r\nWWW-Authenticate: Bearer";
  head_ += reply_.headers;
  if (reply_.status != 304) {  // a 304 has no body, and says nothing of its length
    head_ += "\r\nContent-Length: ";
    AppendNumber(head_, reply_.body.size());
  }
  head_ += "\r\n\r\n";
  if (headOnly_) reply_.body.clear();
  sent_ = 0;
  phase_ = Phase::kReply;
  phaseDeadline_ = DeadlineAfter(shared_.options.writeTimeout);
  return SendReply(scratch);
}

HttpSession::Next HttpSession::Refuse(int status, const std::string& message,
                                      RequestScratch& scratch) {
  SetErrorReply(status, message);
  refused_ = true;
  keepAlive_ = false;
  headOnly_ = false;
  if (requestId_.empty()) AppendRequestId(requestId_);
  ReleaseBody();
  return StartReply(scratch);
}

HttpSession::Next HttpSession::SendReply(RequestScratch& scratch) {
  const std::size_t total = head_.size() + reply_.body.size();
  while (sent_ < total) {
    iovec parts[2];
    int count = 0;
    if (sent_ < head_.size()) {
      parts[count++] = {head_.data() + sent_, head_.size() - sent_};
      parts[count++] = {reply_.body.data(), reply_.body.size()};
    } else {
      const std::size_t from = sent_ - head_.size();
      parts[count++] = {reply_.body.data() + from, reply_.body.size() - from};
    }
    msghdr message{};
    message.msg_iov = parts;
    message.msg_iovlen = static_cast<std::size_t>(count);
    const ssize_t put = ::sendmsg(socket_, &message, MSG_NOSIGNAL | MSG_DONTWAIT);
    if (put > 0) {
      sent_ += static_cast<std::size_t>(put);
      continue;
    }
    if (put < 0 && errno == EINTR) continue;
    if (put < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      return Park(Next::kWrite, phaseDeadline_);
    }
    return Next::kClose;
  }
  return AfterReply(scratch);
}

HttpSession::Next HttpSession::AfterReply(RequestScratch& scratch) {
  if (shared_.log != nullptr) {
    const auto& request = parser_->get();
    LogRequest(std::string_view(request.method_string().data(), request.method_string().size()),
               std::string_view(request.target().data(), request.target().size()));
  }
  requestId_.clear();
  // The body keeps its capacity for the next reply, unless a large reply
  // made it large.
  if (reply_.body.capacity() > kKeptReplyCapacity) {
    std::string().swap(reply_.body);
  } else {
    reply_.body.clear();
  }
  if (refused_) {
    ::shutdown(socket_, SHUT_WR);
    phase_ = Phase::kLinger;
    phaseDeadline_ = DeadlineAfter(kLingerTime);  // one deadline for all the reads
    return Linger();
  }
  if (!keepAlive_ || shared_.draining.load()) return Next::kClose;
  StartRequest();
  if (buffer_.size() > 0) return ReadRequest(scratch);  // a pipelined request
  // The usual case: the next request has not come yet. Waiting for it
  // costs less than asking the socket now.
  return ParkIdle();
}

HttpSession::Next HttpSession::Linger() {
  char discard[4096];
  for (;;) {
    const ssize_t got = ::recv(socket_, discard, sizeof discard, 0);
    if (got > 0) continue;
    if (got < 0 && errno == EINTR) continue;
    if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      return Park(Next::kRead, phaseDeadline_);
    }
    return Next::kClose;
  }
}

void HttpSession::StartHead(int status, const char* contentType) {
  head_.assign("HTTP/1.1 ");
  AppendNumber(head_, static_cast<std::size_t>(status));
  head_ += ' ';
  const auto reason = http::obsolete_reason(static_cast<http::status>(status));
  head_.append(reason.data(), reason.size());
  head_ += "\r\nContent-Type: ";
  head_ += contentType;
  head_ += "\r\nX-Request-Id: ";
  head_ += requestId_;
  if (!keepAlive_) head_ += "\r\nConnection: close";
}

void HttpSession::Begin(int status, const char* contentType) {
  StartHead(status, contentType);
  head_ += reply_.headers;
  head_ += "\r\nTransfer-Encoding: chunked\r\n\r\n";
  SendNow(head_);
}

void HttpSession::Chunk(std::string_view data) {
  if (data.empty()) return;  // an empty chunk would end the reply
  char size[20];
  const int length = std::snprintf(size, sizeof size, "%zx\r\n", data.size());
  // The chunk goes out with its framing in one call, without a copy.
  std::string_view parts[3] = {std::string_view(size, static_cast<std::size_t>(length)), data,
                               "\r\n"};
  SendNow(parts, 3);
}

void HttpSession::FinishStream() {
  Chunk(reply_.body);
  reply_.body.clear();
  SendNow("0\r\n\r\n");
}

void HttpSession::SendNow(std::string_view data) { SendNow(&data, 1); }

void HttpSession::SendNow(std::string_view* parts, int count) {
  const std::int64_t deadline = DeadlineAfter(shared_.options.writeTimeout);
  int first = 0;
  for (;;) {
    while (first < count && parts[first].empty()) ++first;
    if (first == count) return;
    iovec pieces[3];
    int pieceCount = 0;
    for (int i = first; i < count && pieceCount < 3; ++i) {
      pieces[pieceCount++] = {const_cast<char*>(parts[i].data()), parts[i].size()};
    }
    msghdr message{};
    message.msg_iov = pieces;
    message.msg_iovlen = static_cast<std::size_t>(pieceCount);
    const ssize_t sent = ::sendmsg(socket_, &message, MSG_NOSIGNAL | MSG_DONTWAIT);
    if (sent > 0) {
      std::size_t done = static_cast<std::size_t>(sent);
      for (int i = first; i < count && done > 0; ++i) {
        const std::size_t taken = std::min(done, parts[i].size());
        parts[i].remove_prefix(taken);
        done -= taken;
      }
      continue;
    }
    if (sent < 0 && errno == EINTR) continue;
    if (sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      const std::int64_t leftMs = (deadline - SteadyNow()) / 1000000;
      if (leftMs <= 0) throw std::runtime_error("the client did not take the reply in time");
      pollfd ready{socket_, POLLOUT, 0};
      ::poll(&ready, 1, static_cast<int>(std::min<std::int64_t>(leftMs + 1, 1000)));
      continue;
    }
    throw std::runtime_error("the connection closed while the reply was being sent");
  }
}

}  // namespace bnscore::service
