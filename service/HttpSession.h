#ifndef BNSCORE_SERVICE_HTTPSESSION_H_
#define BNSCORE_SERVICE_HTTPSESSION_H_

#include <array>
#include <chrono>
#include <memory>
#include <optional>
#include <string>

#include <boost/asio/ip/tcp.hpp>
#include <boost/beast/core/flat_buffer.hpp>
#include <boost/beast/core/tcp_stream.hpp>
#include <boost/beast/http/string_body.hpp>
#include <boost/beast/http/message.hpp>
#include <boost/beast/http/parser.hpp>

#include "service/ServerWorker.h"
#include "service/ServiceRouter.h"

// One HTTP/1.1 connection: reads a request (header, then a body of at most
// the size limit), hands it to the router on the worker's thread, writes
// the reply and, for keep-alive, waits for the next request. Every read and
// write has a deadline. Owns itself through std::shared_ptr: the pending
// read or write holds it, and it is deleted when the connection ends.
//
// A reply that the router streams goes out with blocking writes on the
// worker's thread (each bounded by the write timeout), in chunks.
class HttpSession : public std::enable_shared_from_this<HttpSession>, private ReplyStream {
 public:
  HttpSession(boost::asio::ip::tcp::socket socket, ServerWorker& worker, ServerShared& shared);
  ~HttpSession();
  HttpSession(const HttpSession&) = delete;
  HttpSession& operator=(const HttpSession&) = delete;

  void Start();
  // The server drains: a connection waiting for a request closes now, one
  // that is reading or answering closes after its reply. Worker thread only.
  void Drain();

 private:
  using Parser = boost::beast::http::request_parser<boost::beast::http::string_body>;

  void ReadHeader();
  void OnHeader(boost::beast::error_code ec);
  void ReadBody();
  void OnBody(boost::beast::error_code ec);
  // Answers a request that could not be read, then closes.
  void Refuse(int status, const std::string& message);
  void WriteReply(bool keepAlive);
  void OnWrite(boost::beast::error_code ec, bool keepAlive);
  // After a refusal: reads and drops what the client still sends, then
  // closes.
  void Linger();
  void DiscardInput();
  void Close();
  // ReplyStream:
  void Begin(int status, const char* contentType) override;
  void Chunk(std::string_view data) override;
  // Ends a streamed reply: what is left in the body, then the last chunk.
  void FinishStream();
  // Sends `data` now, waiting at most until `deadline`.
  void SendNow(std::string_view data, std::chrono::steady_clock::time_point deadline);

  boost::beast::tcp_stream stream_;
  ServerWorker& worker_;
  ServerShared& shared_;
  boost::beast::flat_buffer buffer_;
  std::optional<Parser> parser_;
  boost::beast::http::response<boost::beast::http::string_body> response_;
  HttpReply reply_;
  bool waitingForRequest_ = false;  // reading a header with nothing received yet
  bool refused_ = false;            // the reply refuses a request that was not read
  bool keepAlive_ = false;          // of the request being answered
  std::string chunk_;               // a chunk with its framing
  std::array<char, 4096> discard_;
};

#endif  // BNSCORE_SERVICE_HTTPSESSION_H_
