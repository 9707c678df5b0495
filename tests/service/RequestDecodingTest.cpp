// The pieces that decide how a request is read before it is routed: its
// framing, its body's encoding, NaN words in JSON, the admin token file
// and what a deployed document is said to be.
#include <zlib.h>

#include <cstdio>
#include <fstream>
#include <string>

#include <gtest/gtest.h>

#include "service/DocumentInfo.h"
#include "service/GzipBody.h"
#include "service/JsonNanText.h"
#include "service/RequestError.h"
#include "service/RequestFraming.h"
#include "service/ServeCommand.h"

namespace http = boost::beast::http;

namespace {

using namespace bnscore::service;

http::fields Fields(std::initializer_list<std::pair<const char*, const char*>> lines) {
  http::fields fields;
  for (const auto& [name, value] : lines) fields.insert(name, value);
  return fields;
}

TEST(RequestFramingTest, OnlyChunkedAloneFramesABody) {
  EXPECT_EQ(CheckFraming(Fields({{"Content-Length", "5"}}), 11).status, 0);
  EXPECT_EQ(CheckFraming(Fields({{"Transfer-Encoding", "chunked"}}), 11).status, 0);
  EXPECT_EQ(CheckFraming(Fields({{"Transfer-Encoding", " Chunked ; x=1 "}}), 11).status, 0);
  const FramingFault both =
      CheckFraming(Fields({{"Transfer-Encoding", "chunked"}, {"Content-Length", "5"}}), 11);
  EXPECT_EQ(both.status, 400);
  EXPECT_EQ(both.message, "a request may not have both Transfer-Encoding and Content-Length");
  EXPECT_EQ(CheckFraming(Fields({{"Transfer-Encoding", "xchunked"}}), 11).status, 400);
  EXPECT_EQ(CheckFraming(Fields({{"Transfer-Encoding", "chunked, gzip"}}), 11).status, 400);
  EXPECT_EQ(CheckFraming(Fields({{"Transfer-Encoding", ""}}), 11).status, 400);
  EXPECT_EQ(CheckFraming(Fields({{"Transfer-Encoding", "chunked"}}), 10).status, 400);
  // Split over two fields, the last coding still counts.
  const FramingFault gzip =
      CheckFraming(Fields({{"Transfer-Encoding", "gzip"}, {"Transfer-Encoding", "chunked"}}), 11);
  EXPECT_EQ(gzip.status, 501);
  EXPECT_EQ(gzip.message,
            "unsupported transfer coding \"gzip\": send the body with Transfer-Encoding: "
            "chunked alone");
}

TEST(RequestFramingTest, ContentEncodings) {
  EXPECT_EQ(ContentEncodingOf(Fields({})), BodyEncoding::kIdentity);
  EXPECT_EQ(ContentEncodingOf(Fields({{"Content-Encoding", "identity"}})), BodyEncoding::kIdentity);
  EXPECT_EQ(ContentEncodingOf(Fields({{"Content-Encoding", "GZIP"}})), BodyEncoding::kGzip);
  EXPECT_EQ(ContentEncodingOf(Fields({{"Content-Encoding", "x-gzip"}})), BodyEncoding::kGzip);
  EXPECT_EQ(ContentEncodingOf(Fields({{"Content-Encoding", "br"}})), BodyEncoding::kUnsupported);
  EXPECT_EQ(ContentEncodingOf(Fields({{"Content-Encoding", "gzip, gzip"}})),
            BodyEncoding::kUnsupported);
}

std::string Gzip(const std::string& text) {
  z_stream z{};
  deflateInit2(&z, 6, Z_DEFLATED, 16 + MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
  std::string out(deflateBound(&z, text.size()) + 32, '\0');
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
  z.avail_in = static_cast<uInt>(text.size());
  z.next_out = reinterpret_cast<Bytef*>(out.data());
  z.avail_out = static_cast<uInt>(out.size());
  deflate(&z, Z_FINISH);
  out.resize(out.size() - z.avail_out);
  deflateEnd(&z);
  return out;
}

int StatusOf(const std::string& body, std::size_t limit) {
  std::string out;
  try {
    InflateGzipBody(body, limit, out);
  } catch (const RequestError& e) {
    return e.GetStatus();
  }
  return 0;
}

TEST(GzipBodyTest, InflatesMembersUpToTheLimitExactly) {
  const std::string text(200000, 'x');
  std::string out;
  InflateGzipBody(Gzip(text) + Gzip("yz"), text.size() + 2, out);
  EXPECT_EQ(out, text + "yz");
  // One byte past the limit is refused, however well it compresses.
  EXPECT_EQ(StatusOf(Gzip(text), text.size() - 1), 413);
  EXPECT_EQ(StatusOf(Gzip(text), text.size()), 0);
  const std::string packed = Gzip(text);
  EXPECT_EQ(StatusOf(packed.substr(0, packed.size() - 4), text.size()), 400);  // cut short
  EXPECT_EQ(StatusOf("not gzip", 100), 400);
  EXPECT_EQ(StatusOf("", 100), 400);
}

TEST(JsonNanTextTest, NanOutsideStringsIsNullAndInfinityIsRefused) {
  std::string out;
  EXPECT_TRUE(RewriteJsonNan(R"({"a": NaN, "b": "NaN", "c": [NaN,-1], "d": "x\"NaN"})", out));
  EXPECT_EQ(out, R"({"a": null, "b": "NaN", "c": [null,-1], "d": "x\"NaN"})");
  EXPECT_FALSE(RewriteJsonNan(R"({"a": NaNa, "NaN": 1})", out));
  EXPECT_THROW(RewriteJsonNan(R"({"a": -Infinity})", out), RequestError);
  EXPECT_FALSE(RewriteJsonNan(R"({"a": "Infinity"})", out));
}

TEST(AdminTokenTest, FirstLineTrimmedAtBothEnds) {
  const std::string path = ::testing::TempDir() + "/admin.token";
  auto tokenOf = [&](const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
    return ReadAdminToken(path);
  };
  EXPECT_EQ(tokenOf("s3cret"), "s3cret");
  EXPECT_EQ(tokenOf(" \ts3cret \r\nsecond line\n"), "s3cret");
  try {
    tokenOf("  \r\ns3cret\n");
    FAIL() << "an empty first line was taken";
  } catch (const std::runtime_error& e) {
    EXPECT_EQ(std::string(e.what()),
              "the admin token file " + path + " holds no token: its first line must be the token");
  }
  EXPECT_THROW(tokenOf(""), std::runtime_error);
  std::remove(path.c_str());
}

TEST(DocumentInfoTest, VersionDigestAndTime) {
  EXPECT_EQ(Sha256Hex("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
  const DocumentInfo header = DescribeDocument(
      "<PMML><Headers/><Header copyright='c' modelVersion='2.1'><Application version=\"9\"/>"
      "</Header></PMML>");
  EXPECT_EQ(header.version, "2.1");
  EXPECT_EQ(
      DescribeDocument("<PMML><Header><Application name='x'\n version=\"9\"/></Header>").version,
      "9");
  EXPECT_EQ(DescribeDocument("<PMML><Header xmodelVersion='1'/></PMML>").version, "");
  const DocumentInfo info = DescribeDocument("x");
  EXPECT_EQ(info.deployedAt.size(), 20u);
  EXPECT_EQ(info.deployedAt.back(), 'Z');
}

}  // namespace
