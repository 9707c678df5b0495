#include "service/HttpSession.h"

#include <poll.h>
#include <sys/socket.h>

#include <cerrno>
#include <cstdio>

#include <boost/asio/write.hpp>
#include <boost/beast/core/string.hpp>
#include <boost/beast/http/error.hpp>
#include <boost/beast/http/read.hpp>
#include <boost/beast/http/write.hpp>

#include "service/JsonText.h"
#include "service/ServiceMetrics.h"

namespace beast = boost::beast;
namespace http = boost::beast::http;

namespace {

constexpr char kContinue[] = "HTTP/1.1 100 Continue\r\n\r\n";
constexpr std::size_t kHeaderLimit = 16 * 1024;
// Each read of the connection asks for the free room of its buffer (at
// least 512 bytes, at most 64 KB): a large body gets room for full reads,
// and the buffer shrinks back once the connection waits for a request.
constexpr std::size_t kBodyReadRoom = 64 * 1024;
constexpr std::chrono::seconds kLingerTime{2};

}  // namespace

HttpSession::HttpSession(boost::asio::ip::tcp::socket socket, ServerWorker& worker,
                         ServerShared& shared)
    : stream_(std::move(socket)), worker_(worker), shared_(shared) {
  shared_.liveSessions.fetch_add(1);
  worker_.sessions.insert(this);
}

HttpSession::~HttpSession() {
  worker_.sessions.erase(this);
  shared_.liveSessions.fetch_sub(1);
}

void HttpSession::Start() {
  boost::system::error_code ignored;
  stream_.socket().set_option(boost::asio::ip::tcp::no_delay(true), ignored);
  ReadHeader();
}

void HttpSession::Drain() {
  if (waitingForRequest_ && buffer_.size() == 0) Close();
  // Otherwise the reply goes out with "Connection: close" (see WriteReply).
}

void HttpSession::ReadHeader() {
  if (shared_.draining.load()) {
    Close();
    return;
  }
  if (buffer_.size() == 0 && buffer_.capacity() > kHeaderLimit) buffer_.shrink_to_fit();
  parser_.emplace();
  parser_->header_limit(kHeaderLimit);
  parser_->body_limit(shared_.options.maxBody);
  waitingForRequest_ = true;
  stream_.expires_after(buffer_.size() == 0 ? shared_.options.idleTimeout
                                            : shared_.options.readTimeout);
  http::async_read_header(stream_, buffer_, *parser_,
                          [self = shared_from_this()](beast::error_code ec, std::size_t) {
                            self->OnHeader(ec);
                          });
}

void HttpSession::OnHeader(beast::error_code ec) {
  waitingForRequest_ = false;
  // A deadline that passes closes the socket (tcp_stream does): a client
  // too slow to send its request loses the connection without a reply.
  if (ec == http::error::end_of_stream || ec == beast::error::timeout ||
      ec == boost::asio::error::operation_aborted || ec == boost::asio::error::connection_reset) {
    Close();
    return;
  }
  if (ec == http::error::body_limit) {
    Refuse(413, "the request body is larger than the limit of " +
                    std::to_string(shared_.options.maxBody) + " bytes (--max-body)");
    return;
  }
  if (ec == http::error::header_limit) {
    Refuse(431, "the request header is larger than " + std::to_string(kHeaderLimit) + " bytes");
    return;
  }
  if (ec) {
    Refuse(400, "malformed HTTP request: " + ec.message());
    return;
  }
  if (beast::iequals(parser_->get()[http::field::expect], "100-continue") && !parser_->is_done()) {
    stream_.expires_after(shared_.options.writeTimeout);
    boost::asio::async_write(stream_, boost::asio::buffer(kContinue, sizeof kContinue - 1),
                             [self = shared_from_this()](beast::error_code ec, std::size_t) {
                               if (ec) {
                                 self->Close();
                               } else {
                                 self->ReadBody();
                               }
                             });
    return;
  }
  // A small request's body has mostly arrived with its header: parse what
  // is here, and go to the network only for the rest.
  beast::error_code parsed;
  if (!parser_->is_done() && buffer_.size() > 0) {  // a parser that is done takes no more
    parser_->eager(true);
    buffer_.consume(parser_->put(buffer_.data(), parsed));
  }
  if (parsed && parsed != http::error::need_more) {
    OnBody(parsed);
  } else if (parser_->is_done()) {
    OnBody({});
  } else {
    ReadBody();
  }
}

void HttpSession::ReadBody() {
  const auto length = parser_->content_length_remaining();
  const std::size_t room = length ? static_cast<std::size_t>(std::min<std::uint64_t>(*length, kBodyReadRoom))
                                  : kBodyReadRoom;
  if (buffer_.capacity() - buffer_.size() < room) buffer_.reserve(buffer_.size() + room);
  stream_.expires_after(shared_.options.readTimeout);
  http::async_read(stream_, buffer_, *parser_,
                   [self = shared_from_this()](beast::error_code ec, std::size_t) {
                     self->OnBody(ec);
                   });
}

void HttpSession::OnBody(beast::error_code ec) {
  if (ec == http::error::body_limit) {
    Refuse(413, "the request body is larger than the limit of " +
                    std::to_string(shared_.options.maxBody) + " bytes (--max-body)");
    return;
  }
  if (ec) {
    Close();
    return;
  }
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
  shared_.router.Handle(routed, worker_.scratch, reply_);
  if (reply_.broken) {
    Close();
    return;
  }
  if (reply_.streamed) {
    try {
      FinishStream();
    } catch (const std::exception&) {
      Close();
      return;
    }
    if (keepAlive_) {
      ReadHeader();
    } else {
      Close();
    }
    return;
  }
  WriteReply(keepAlive_);
}

void HttpSession::Begin(int status, const char* contentType) {
  std::string header = "HTTP/1.1 " + std::to_string(status) + " " +
                       std::string(http::obsolete_reason(static_cast<http::status>(status))) +
                       "\r\nContent-Type: " + contentType +
                       "\r\nTransfer-Encoding: chunked\r\n";
  if (!keepAlive_) header += "Connection: close\r\n";
  header += "\r\n";
  SendNow(header, std::chrono::steady_clock::now() + shared_.options.writeTimeout);
}

void HttpSession::Chunk(std::string_view data) {
  if (data.empty()) return;  // an empty chunk would end the reply
  char size[20];
  const int length = std::snprintf(size, sizeof size, "%zx\r\n", data.size());
  chunk_.assign(size, static_cast<std::size_t>(length));
  chunk_.append(data);
  chunk_.append("\r\n");
  SendNow(chunk_, std::chrono::steady_clock::now() + shared_.options.writeTimeout);
}

void HttpSession::FinishStream() {
  Chunk(reply_.body);
  reply_.body.clear();
  SendNow("0\r\n\r\n", std::chrono::steady_clock::now() + shared_.options.writeTimeout);
}

void HttpSession::SendNow(std::string_view data, std::chrono::steady_clock::time_point deadline) {
  const int fd = stream_.socket().native_handle();
  while (!data.empty()) {
    const ssize_t sent = ::send(fd, data.data(), data.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
    if (sent > 0) {
      data.remove_prefix(static_cast<std::size_t>(sent));
      continue;
    }
    if (sent < 0 && errno == EINTR) continue;
    if (sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
          deadline - std::chrono::steady_clock::now());
      if (left.count() <= 0) throw std::runtime_error("the client did not take the reply in time");
      pollfd ready{fd, POLLOUT, 0};
      ::poll(&ready, 1, static_cast<int>(std::min<long long>(left.count() + 1, 1000)));
      continue;
    }
    throw std::runtime_error("the connection closed while the reply was being sent");
  }
}

void HttpSession::Refuse(int status, const std::string& message) {
  reply_.status = status;
  reply_.contentType = "application/json";
  reply_.allow = nullptr;
  WriteJsonError(reply_.body, status, message);
  shared_.metrics.CountResponse(status);
  refused_ = true;
  WriteReply(false);
}

void HttpSession::WriteReply(bool keepAlive) {
  keepAlive = keepAlive && !shared_.draining.load();
  response_.clear();
  response_.version(11);
  response_.result(static_cast<unsigned>(reply_.status));
  response_.set(http::field::content_type, reply_.contentType);
  if (reply_.allow != nullptr) response_.set(http::field::allow, reply_.allow);
  if (reply_.status == 401) response_.set(http::field::www_authenticate, "Bearer");
  response_.body() = std::move(reply_.body);
  response_.keep_alive(keepAlive);
  response_.prepare_payload();
  stream_.expires_after(shared_.options.writeTimeout);
  http::async_write(stream_, response_,
                    [self = shared_from_this(), keepAlive](beast::error_code ec, std::size_t) {
                      self->OnWrite(ec, keepAlive);
                    });
}

void HttpSession::OnWrite(beast::error_code ec, bool keepAlive) {
  reply_.body = std::move(response_.body());  // keeps its capacity for the next reply
  reply_.body.clear();
  if (!ec && refused_) {
    Linger();
    return;
  }
  if (ec || !keepAlive) {
    Close();
    return;
  }
  ReadHeader();
}

void HttpSession::Linger() {
  // Closing a socket with unread bytes resets the connection, and the
  // client might lose the reply: read what it still sends, for a while.
  boost::system::error_code ignored;
  stream_.socket().shutdown(boost::asio::ip::tcp::socket::shutdown_send, ignored);
  stream_.expires_after(kLingerTime);  // one deadline for all the reads below
  DiscardInput();
}

void HttpSession::DiscardInput() {
  stream_.async_read_some(boost::asio::buffer(discard_),
                          [self = shared_from_this()](beast::error_code ec, std::size_t) {
                            if (ec) {
                              self->Close();
                            } else {
                              self->DiscardInput();
                            }
                          });
}

void HttpSession::Close() {
  boost::system::error_code ignored;
  stream_.socket().shutdown(boost::asio::ip::tcp::socket::shutdown_both, ignored);
  stream_.socket().close(ignored);
}
