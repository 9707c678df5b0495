#include "service/HttpSession.h"

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
  const bool started = !waitingForRequest_ || buffer_.size() > 0;
  waitingForRequest_ = false;
  if (ec == http::error::end_of_stream || ec == boost::asio::error::operation_aborted ||
      ec == boost::asio::error::connection_reset) {
    Close();
    return;
  }
  if (ec == beast::error::timeout) {
    // A connection idle between requests just closes; a request that
    // started but did not arrive in time gets its answer.
    if (started || parser_->got_some()) {
      Refuse(408, "the request did not arrive within the read timeout");
    } else {
      Close();
    }
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
  ReadBody();
}

void HttpSession::ReadBody() {
  stream_.expires_after(shared_.options.readTimeout);
  http::async_read(stream_, buffer_, *parser_,
                   [self = shared_from_this()](beast::error_code ec, std::size_t) {
                     self->OnBody(ec);
                   });
}

void HttpSession::OnBody(beast::error_code ec) {
  if (ec == beast::error::timeout) {
    Refuse(408, "the request body did not arrive within the read timeout");
    return;
  }
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
  shared_.router.Handle(routed, worker_.scratch, reply_);
  WriteReply(request.keep_alive());
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
