#include "service/HttpSession.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <stdexcept>

#include <boost/beast/core/string.hpp>
#include <boost/beast/http/error.hpp>
#include <boost/beast/http/status.hpp>

#include "service/JsonText.h"
#include "service/ServiceMetrics.h"

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

void AppendNumber(std::string& out, std::size_t value) {
  char digits[24];
  const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
  out.append(digits, end);
}

}  // namespace

HttpSession::HttpSession(int socket, ServerShared& shared) : socket_(socket), shared_(shared) {
  StartRequest();
  ParkIdle();
}

HttpSession::~HttpSession() { ::close(socket_); }

HttpSession::Next HttpSession::Serve(RequestScratch& scratch) {
  deadline_.store(kNoDeadline, std::memory_order_relaxed);
  idle_.store(false, std::memory_order_relaxed);
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
  return next;
}

HttpSession::Next HttpSession::ParkIdle() {
  idle_.store(true, std::memory_order_relaxed);
  return Park(Next::kRead, DeadlineAfter(shared_.options.idleTimeout));
}

void HttpSession::StartRequest() {
  if (buffer_.size() == 0 && buffer_.capacity() > kHeaderLimit) buffer_.shrink_to_fit();
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
  if (parser_->is_header_done() && !parser_->is_done() && !continueSent_ &&
      beast::iequals(parser_->get()[http::field::expect], "100-continue")) {
    continueSent_ = true;
    SendNow(kContinue);
  }
  return parser_->is_done();
}

HttpSession::Next HttpSession::ReadRequest(RequestScratch& scratch) {
  for (;;) {
    if (buffer_.size() > 0) {
      // The request's deadline runs from its first byte; before that the
      // connection may stay idle for longer.
      if (!requestStarted_) {
        requestStarted_ = true;
        phaseDeadline_ = DeadlineAfter(shared_.options.readTimeout);
      }
      beast::error_code ec;
      bool complete = false;
      try {
        complete = Parse(ec);
      } catch (const std::exception&) {
        return Next::kClose;  // the "100 Continue" could not be sent
      }
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
    }
    const auto space = buffer_.prepare(std::max<std::size_t>(room, 512));
    const ssize_t got = ::recv(socket_, space.data(), space.size(), 0);
    if (got > 0) {
      buffer_.commit(static_cast<std::size_t>(got));
      continue;
    }
    if (got < 0 && errno == EINTR) continue;
    if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      return requestStarted_ ? Park(Next::kRead, phaseDeadline_) : ParkIdle();
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

HttpSession::Next HttpSession::Answer(RequestScratch& scratch) {
  const http::request<http::string_body>& request = parser_->get();
  HttpRequest routed;
  routed.method = std::string_view(request.method_string().data(), request.method_string().size());
  routed.target = std::string_view(request.target().data(), request.target().size());
  const auto contentType = request[http::field::content_type];
  routed.contentType = std::string_view(contentType.data(), contentType.size());
  const auto authorization = request[http::field::authorization];
  routed.authorization = std::string_view(authorization.data(), authorization.size());
  routed.body = request.body();
  routed.stream = this;
  keepAlive_ = request.keep_alive() && !shared_.draining.load();
  shared_.router.Handle(routed, scratch, reply_);
  if (reply_.broken) return Next::kClose;
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
  head_ += "\r\nContent-Length: ";
  AppendNumber(head_, reply_.body.size());
  head_ += "\r\n\r\n";
  sent_ = 0;
  phase_ = Phase::kReply;
  phaseDeadline_ = DeadlineAfter(shared_.options.writeTimeout);
  return SendReply(scratch);
}

HttpSession::Next HttpSession::Refuse(int status, const std::string& message,
                                      RequestScratch& scratch) {
  reply_.status = status;
  reply_.contentType = "application/json";
  reply_.allow = nullptr;
  reply_.streamed = false;
  reply_.body.clear();
  WriteJsonError(reply_.body, status, message);
  shared_.metrics.CountResponse(status);
  refused_ = true;
  keepAlive_ = false;
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
  reply_.body.clear();  // keeps its capacity for the next reply
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
  if (!keepAlive_) head_ += "\r\nConnection: close";
}

void HttpSession::Begin(int status, const char* contentType) {
  StartHead(status, contentType);
  head_ += "\r\nTransfer-Encoding: chunked\r\n\r\n";
  SendNow(head_);
}

void HttpSession::Chunk(std::string_view data) {
  if (data.empty()) return;  // an empty chunk would end the reply
  char size[20];
  const int length = std::snprintf(size, sizeof size, "%zx\r\n", data.size());
  chunk_.assign(size, static_cast<std::size_t>(length));
  chunk_.append(data);
  chunk_.append("\r\n");
  SendNow(chunk_);
}

void HttpSession::FinishStream() {
  Chunk(reply_.body);
  reply_.body.clear();
  SendNow("0\r\n\r\n");
}

void HttpSession::SendNow(std::string_view data) {
  const std::int64_t deadline = DeadlineAfter(shared_.options.writeTimeout);
  while (!data.empty()) {
    const ssize_t sent = ::send(socket_, data.data(), data.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
    if (sent > 0) {
      data.remove_prefix(static_cast<std::size_t>(sent));
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
