// The service's text forms: JSON strings and numbers, the Prometheus
// exposition and the --listen address.

#include <limits>
#include <string>
#include <tuple>

#include <gtest/gtest.h>

#include "bnscore/JsonText.h"
#include "service/JsonErrorText.h"
#include "service/ServeCommand.h"
#include "service/ServiceMetrics.h"

using namespace bnscore::service;

namespace {

std::string Json(std::string_view text) {
  std::string out;
  bnscore::AppendJsonString(out, text);
  return out;
}

std::string Number(double value) {
  std::string out;
  bnscore::AppendJsonNumber(out, value);
  return out;
}

TEST(JsonTextTest, EscapesWhatJsonNeedsAndCopiesTheRest) {
  EXPECT_EQ(Json("plain"), "\"plain\"");
  EXPECT_EQ(Json("bad, \"really\""), "\"bad, \\\"really\\\"\"");
  EXPECT_EQ(Json("a\\b\nc\rd\te"), "\"a\\\\b\\nc\\rd\\te\"");
  EXPECT_EQ(Json(std::string_view("\0\x01\x1f", 3)), "\"\\u0000\\u0001\\u001f\"");
  EXPECT_EQ(Json("\xc3\xa9\x7f\xf0\x9f\x98\x80"), "\"\xc3\xa9\x7f\xf0\x9f\x98\x80\"");
  // Not UTF-8: a lone continuation byte, an overlong form, a surrogate, a
  // cut sequence.
  EXPECT_EQ(Json("a\x80"
                 "b\xc0\xaf"
                 "c\xed\xa0\x80"
                 "d\xe2\x82"),
            "\"a\\ufffdb\\ufffd\\ufffdc\\ufffd\\ufffd\\ufffdd\\ufffd\\ufffd\"");
  EXPECT_EQ(Json(""), "\"\"");
}

TEST(JsonTextTest, NumbersAreBnscoresDigitsAndNonFiniteIsNull) {
  EXPECT_EQ(Number(0.84), "0.84");
  EXPECT_EQ(Number(0.16000000000000003), "0.16000000000000003");
  EXPECT_EQ(Number(1e-05), "1e-05");
  EXPECT_EQ(Number(0.0001), "0.0001");
  EXPECT_EQ(Number(3), "3");
  EXPECT_EQ(Number(1.5e16), "1.5e+16");
  EXPECT_EQ(Number(std::numeric_limits<double>::quiet_NaN()), "null");
  EXPECT_EQ(Number(-std::numeric_limits<double>::infinity()), "null");
  std::string error;
  WriteJsonError(error, 422, "a \"b\"");
  EXPECT_EQ(error, "{\"error\":{\"code\":422,\"message\":\"a \\\"b\\\"\"}}\n");
}

TEST(ServiceMetricsTest, HistogramBucketsAreCumulativeAndCountersKeepTheirModel) {
  ServiceMetrics metrics;
  const std::shared_ptr<ModelMetrics> m = metrics.ForModel("m");
  EXPECT_EQ(metrics.ForModel("m"), m);
  m->RecordRequest(0.00005, false, 1);  // on the first bound: first bucket
  m->RecordRequest(0.0003, true, 0);
  m->RecordRequest(10.0, false, 1000);
  metrics.CountResponse(200);
  metrics.CountResponse(200);
  metrics.CountResponse(404);
  const std::string text = metrics.Render();
  for (const char* line : {"bnscore_http_responses_total{code=\"200\"} 2\n",
                           "bnscore_http_responses_total{code=\"404\"} 1\n",
                           "bnscore_score_requests_total{model=\"m\"} 3\n",
                           "bnscore_score_errors_total{model=\"m\"} 1\n",
                           "bnscore_records_scored_total{model=\"m\"} 1001\n",
                           "bnscore_score_latency_seconds_bucket{model=\"m\",le=\"5e-05\"} 1\n",
                           "bnscore_score_latency_seconds_bucket{model=\"m\",le=\"0.00025\"} 1\n",
                           "bnscore_score_latency_seconds_bucket{model=\"m\",le=\"0.0005\"} 2\n",
                           "bnscore_score_latency_seconds_bucket{model=\"m\",le=\"2.5\"} 2\n",
                           "bnscore_score_latency_seconds_bucket{model=\"m\",le=\"+Inf\"} 3\n",
                           "bnscore_score_latency_seconds_count{model=\"m\"} 3\n"}) {
    EXPECT_NE(text.find(line), std::string::npos) << line << "in\n" << text;
  }
  // A model removed takes every series of its id along; others stay.
  metrics.ForModel("other")->RecordRequest(0.001, false, 1);
  metrics.RemoveModel("m");
  const std::string after = metrics.Render();
  EXPECT_EQ(after.find("model=\"m\""), std::string::npos) << after;
  EXPECT_NE(after.find("bnscore_score_requests_total{model=\"other\"} 1\n"), std::string::npos);
}

TEST(ServeCommandTest, ListenAddresses) {
  std::string address;
  unsigned short port = 1;
  ASSERT_TRUE(SplitListenAddress("127.0.0.1:8080", address, port));
  EXPECT_EQ(address, "127.0.0.1");
  EXPECT_EQ(port, 8080);
  ASSERT_TRUE(SplitListenAddress("[::1]:0", address, port));
  EXPECT_EQ(address, "::1");
  EXPECT_EQ(port, 0);
  // The short forms: a port alone is loopback's, ":PORT" every IPv4
  // address's, "localhost" loopback's.
  for (const auto& [given, wantAddress, wantPort] :
       {std::tuple{"8081", "127.0.0.1", 8081}, std::tuple{":8082", "0.0.0.0", 8082},
        std::tuple{"localhost:8083", "127.0.0.1", 8083}}) {
    ASSERT_TRUE(SplitListenAddress(given, address, port)) << given;
    EXPECT_EQ(address, wantAddress);
    EXPECT_EQ(port, wantPort);
  }
  for (const char* bad : {"", ":", "80x", ":-1", "127.0.0.1:", "::1:80", "[::1]80", "h:65536",
                          "h:8x", "[]:1", "65536"}) {
    EXPECT_FALSE(SplitListenAddress(bad, address, port)) << bad;
  }
}

}  // namespace
