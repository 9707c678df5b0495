// check and display with --format json: the same facts as their text, as
// JSON that parses.

#include <string>

#include <gtest/gtest.h>
#include <simdjson.h>

#include "tests/cli/BnscoreProcess.h"

namespace {

const std::string kModel = BNSCORE_TEST_DATA "/cli_network.pmml";

TEST(JsonFormatTest, CheckAndDisplayWriteOneJsonObject) {
  testprocess::Outcome run = RunBnscore({"check", "--format", "json", kModel});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out,
            "{\"model\":\"" + kModel +
                "\",\"type\":\"Bayesian network\",\"type_code\":28,\"version\":\"2.0\","
                "\"target\":{\"name\":\"t\",\"value_type\":\"string\",\"measure\":\"categorical\","
                "\"categories\":[\"good\",\"bad, \\\"really\\\"\"]},"
                "\"inputs\":[{\"name\":\"x\",\"value_type\":\"string\","
                "\"measure\":\"categorical\",\"categories\":[\"u\",\"v\",\"z\"]},"
                "{\"name\":\"n\",\"value_type\":\"numeric\",\"measure\":\"continuous\","
                "\"categories\":[]}],"
                "\"derived\":[{\"name\":\"n_bin\",\"value_type\":\"string\","
                "\"measure\":\"categorical\",\"categories\":[\"small\",\"large\"],\"bins\":\"n\","
                "\"intervals\":[{\"category\":\"small\",\"interval\":\"(-inf, 10]\"},"
                "{\"category\":\"large\",\"interval\":\"(10, +inf)\"}]}],"
                "\"arcs\":[[\"t\",\"x\"],[\"t\",\"n\"]],\"markov_blanket\":[\"x\",\"n\"]}\n");
  EXPECT_EQ(RunBnscore({"check", "--header", "--format", "json", kModel}).out, "[\"x\",\"n\"]\n");

  // The display text, control characters and quotes included, survives.
  const std::string text = RunBnscore({"display", kModel}).out;
  run = RunBnscore({"display", "--format", "json", kModel});
  EXPECT_EQ(run.status, 0);
  simdjson::dom::parser parser;
  simdjson::dom::element document;
  ASSERT_EQ(parser.parse(run.out).get(document), simdjson::SUCCESS) << run.out;
  EXPECT_EQ(std::string(document["display"].get_string().value()), text);
  EXPECT_EQ(std::string(document["model"].get_string().value()), kModel);
}

}  // namespace
