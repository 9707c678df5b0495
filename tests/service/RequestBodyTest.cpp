// RequestBody: a request body parsed by Beast into a BodyBuffer, from a
// separate read buffer and received in place, as HttpSession reads it.
#include <cstring>
#include <string>
#include <string_view>

#include <boost/beast/http/parser.hpp>
#include <gtest/gtest.h>

#include "service/RequestBody.h"

namespace http = boost::beast::http;

namespace {

using bnscore::service::BodyBuffer;
using bnscore::service::RequestBody;

TEST(RequestBody, AppendsCopiesAndTakesBytesInPlace) {
  BodyBuffer body;
  EXPECT_EQ(body.View(), "");
  body.Append("abc", 3);  // from elsewhere: grows
  body.Append("de", 2);
  EXPECT_EQ(body.View(), "abcde");
  body.Reserve(5 + 4);
  EXPECT_EQ(body.Capacity(), 9u);
  EXPECT_EQ(body.View(), "abcde");  // a Reserve keeps the bytes
  const char* before = body.View().data();
  std::memcpy(body.FreeSpace(), "fgh", 3);  // received in place: no copy, no growth
  body.Append(body.FreeSpace(), 3);
  EXPECT_EQ(body.View(), "abcdefgh");
  EXPECT_EQ(body.View().data(), before);
  EXPECT_EQ(body.Capacity(), 9u);
  body.Append("ijk", 3);  // past the capacity: grows, keeps everything
  EXPECT_EQ(body.View(), "abcdefghijk");
  EXPECT_GE(body.Capacity(), 11u);

  // A block large enough to be mapped on its own: the bytes move over, and
  // the last byte of its free space takes an in-place append.
  const std::size_t large = std::size_t{8} << 20;
  body.Reserve(large);
  EXPECT_EQ(body.Capacity(), large);
  EXPECT_EQ(body.View(), "abcdefghijk");
  std::memset(body.FreeSpace(), 'x', large - 11);
  body.Append(body.FreeSpace(), large - 11);
  EXPECT_EQ(body.Size(), large);
  EXPECT_EQ(body.View().substr(9, 4), "jkxx");
  EXPECT_EQ(body.View().back(), 'x');
  body.Append("y", 1);  // full: grows by doubling
  EXPECT_EQ(body.Capacity(), 2 * large);
  EXPECT_EQ(body.View().substr(large - 1), "xy");
}

TEST(RequestBody, ParsesLengthAndChunkedBodiesReceivedEitherWay) {
  // Content-Length: the first bytes come with the header, the rest is
  // received into the body's free space and handed to the parser there.
  http::request_parser<RequestBody> parser;
  parser.eager(true);
  const std::string head =
      "POST /models/m/score HTTP/1.1\r\nHost: x\r\nContent-Length: 10\r\n\r\n0123";
  boost::beast::error_code ec;
  EXPECT_EQ(parser.put(boost::asio::buffer(head), ec), head.size());
  ASSERT_FALSE(ec);
  ASSERT_TRUE(parser.is_header_done());
  EXPECT_EQ(*parser.content_length_remaining(), 6u);
  BodyBuffer& body = parser.get().body();
  body.Reserve(body.Size() + 6);
  char* into = body.FreeSpace();
  std::memcpy(into, "456789", 6);
  EXPECT_EQ(parser.put(boost::asio::const_buffer(into, 6), ec), 6u);
  ASSERT_FALSE(ec);
  EXPECT_TRUE(parser.is_done());
  EXPECT_EQ(parser.get().body().View(), "0123456789");

  // Chunked: the body grows as the chunks come.
  http::request_parser<RequestBody> chunked;
  chunked.eager(true);
  const std::string text =
      "POST / HTTP/1.1\r\nHost: x\r\nTransfer-Encoding: chunked\r\n\r\n"
      "3\r\nabc\r\n5\r\ndefgh\r\n0\r\n\r\n";
  EXPECT_EQ(chunked.put(boost::asio::buffer(text), ec), text.size());
  ASSERT_FALSE(ec);
  EXPECT_TRUE(chunked.is_done());
  EXPECT_EQ(chunked.get().body().View(), "abcdefgh");
}

}  // namespace
