// The property the JSON fuzz target checks, over bodies made here: every
// body is either scored record for record or refused with 400, never
// scored as something else (JsonFuzzHarness aborts on a finding). The
// bodies come from a small grammar around the service's own words
// ("records", the model's fields, NaN, numbers as text), then some have
// bytes flipped, cut or repeated. The generator is seeded: every run
// tries the same bodies.
#include <cstdint>
#include <random>
#include <string>

#include <gtest/gtest.h>

#include "fuzz/JsonFuzzHarness.h"

namespace {

class BodyMaker {
 public:
  explicit BodyMaker(std::uint32_t seed) : random_(seed) {}

  std::string Body() {
    std::string body;
    switch (Pick(6)) {
      case 0:
        AppendRecord(body);
        break;
      case 1:
        AppendBatch(body, false);
        break;
      case 2:
        AppendBatch(body, true);
        break;
      default:
        AppendValue(body, 3);
        break;
    }
    if (Pick(3) == 0) Mutate(body);
    return body;
  }

 private:
  std::size_t Pick(std::size_t n) {
    return std::uniform_int_distribution<std::size_t>(0, n - 1)(random_);
  }

  void AppendKey(std::string& out) {
    static const char* kKeys[] = {"x", "n", "t", "records", "results", "", "n\\u0000", "X"};
    out.append("\"").append(kKeys[Pick(std::size(kKeys))]).append("\":");
  }

  void AppendScalar(std::string& out) {
    static const char* kScalars[] = {"1",     "-2.5e3", "\"u\"",  "\"z\"",   "null",
                                     "true",  "NaN",    "\"34\"", "\"inf\"", "\"NA\"",
                                     "1e400", "\"\"",   "-0",     "\"NaN\"", "18446744073709551616",
                                     "[]",    "{}"};
    out.append(kScalars[Pick(std::size(kScalars))]);
  }

  void AppendRecord(std::string& out) {
    out.push_back('{');
    const std::size_t fields = Pick(4);
    for (std::size_t i = 0; i < fields; ++i) {
      if (i > 0) out.push_back(',');
      AppendKey(out);
      AppendScalar(out);
    }
    out.push_back('}');
  }

  void AppendBatch(std::string& out, bool extra) {
    out.append("{");
    if (extra && Pick(2) == 0) out.append("\"id\":1,");
    out.append("\"records\":");
    if (Pick(5) == 0) {
      AppendScalar(out);  // not an array
    } else {
      out.push_back('[');
      const std::size_t records = Pick(70);
      for (std::size_t i = 0; i < records; ++i) {
        if (i > 0) out.push_back(',');
        if (Pick(40) == 0) {
          AppendScalar(out);
        } else {
          AppendRecord(out);
        }
      }
      out.push_back(']');
    }
    if (extra && Pick(2) == 0) out.append(",\"request_id\":\"x\"");
    out.push_back('}');
  }

  void AppendValue(std::string& out, int depth) {
    if (depth == 0 || Pick(3) == 0) return AppendScalar(out);
    if (Pick(2) == 0) {
      out.push_back('[');
      for (std::size_t i = 0, n = Pick(3); i < n; ++i) {
        if (i > 0) out.push_back(',');
        AppendValue(out, depth - 1);
      }
      out.push_back(']');
      return;
    }
    out.push_back('{');
    for (std::size_t i = 0, n = Pick(3); i < n; ++i) {
      if (i > 0) out.push_back(',');
      AppendKey(out);
      AppendValue(out, depth - 1);
    }
    out.push_back('}');
  }

  void Mutate(std::string& body) {
    if (body.empty()) return;
    const std::size_t at = Pick(body.size());
    switch (Pick(4)) {
      case 0:
        body[at] = static_cast<char>(Pick(256));
        break;
      case 1:
        body.resize(at);
        break;
      case 2:
        body.insert(at, body.substr(at, Pick(8)));
        break;
      default:
        body.insert(at, Pick(2) == 0 ? "NaN" : ",");
        break;
    }
  }

  std::mt19937 random_;
};

TEST(JsonBodyPropertyTest, EveryBodyIsScoredRecordForRecordOrRefused) {
  JsonFuzzHarness harness(BNSCORE_TEST_DATA "/cli_network.pmml");
  BodyMaker maker(20261207);
  int scored = 0;
  int refused = 0;
  for (int i = 0; i < 4000; ++i) {
    const std::string body = maker.Body();
    const int status = harness.Run(reinterpret_cast<const std::uint8_t*>(body.data()), body.size());
    (status == 200 ? scored : refused) += 1;
  }
  // Both outcomes are exercised, so that the property is not met vacuously.
  EXPECT_GT(scored, 500);
  EXPECT_GT(refused, 500);
}

}  // namespace
