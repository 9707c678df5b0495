// bnscore score with JSON Lines in and out, and as a streaming mapper on
// headerless input. cli_cases.jsonl holds, for the model of
// cli_network.pmml (see BnscoreTest.cpp): u,5 (good 0.913), v,15 (bad
// 0.727), a blank line, z (90021), w (90029) and n "NA" (90029: a missing
// value of the default --missing-values).

#include <cstdio>
#include <string>

#include <gtest/gtest.h>

#include "tests/TestProcess.h"
#include "tests/cli/BnscoreProcess.h"

namespace {

using testprocess::Outcome;

const std::string kData = BNSCORE_TEST_DATA "/";
const std::string kModel = kData + "cli_network.pmml";
const std::string kCases = kData + "cli_cases.csv";
const std::string kJsonCases = kData + "cli_cases.jsonl";
const std::string kScored =
    "\"status\":0,\"prediction\":\"good\",\"confidence\":0.9130434782608696,"
    "\"probabilities\":{\"good\":0.9130434782608696,\"bad, \\\"really\\\"\":0.08695652173913046}";

TEST(StreamingTest, JsonLinesInAndOut) {
  Outcome run = RunBnscore({"score", "--input-format", "jsonl", "--output-format", "jsonl",
                            "--reason", "--keep-input", kModel, kJsonCases});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(
      run.out,
      "{\"input\":{\"id\":1,\"x\":\"u\",\"n\":5}," + kScored +
          ",\"reason\":null}\n"
          "{\"input\":{\"id\":2,\"x\":\"v\",\"n\":15},\"status\":0,"
          "\"prediction\":\"bad, \\\"really\\\"\",\"confidence\":0.7272727272727273,"
          "\"probabilities\":{\"good\":0.27272727272727265,"
          "\"bad, \\\"really\\\"\":0.7272727272727273},\"reason\":null}\n"
          "{\"input\":{\"id\":3,\"x\":\"z\",\"n\":10},\"status\":90021,\"prediction\":null,"
          "\"confidence\":null,\"probabilities\":null,"
          "\"reason\":\"no category has a positive score\"}\n"
          "{\"input\":{\"id\":4,\"x\":\"w\",\"n\":null},\"status\":90029,\"prediction\":null,"
          "\"confidence\":null,\"probabilities\":null,"
          "\"reason\":\"x: unknown category \\\"w\\\"\"}\n"
          "{\"input\":{\"id\":5,\"x\":\"u\",\"n\":\"NA\"},\"status\":90029,\"prediction\":null,"
          "\"confidence\":null,\"probabilities\":null,\"reason\":\"n: missing\"}\n");
  EXPECT_EQ(run.err,
            "bnscore: scored 5 records: 2 with status 0, 1 with status 90021, 2 with status "
            "90029; skipped 1 blank line\n");

  // CSV in, JSON Lines out: the same results as the CSV output.
  run = RunBnscore({"score", "--output-format", "jsonl", kModel, kCases});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out.substr(0, run.out.find('\n')), "{" + kScored + "}");

  // With --prediction-only, the keys of the service's replies.
  run = RunBnscore({"score", "--prediction-only", "--output-format", "jsonl", kModel, kCases});
  EXPECT_EQ(run.out.substr(0, run.out.find('\n')),
            "{\"status\":0,\"prediction\":\"good\",\"confidence\":null,\"probabilities\":null}");

  // A cell that is not UTF-8 becomes U+FFFD in the JSON text, as in the
  // service's replies.
  const std::string notUtf8 =
      testprocess::WriteTempFile("streaming_not_utf8.csv", "x,n\nu\xff,5\n");
  run = RunBnscore({"score", "--output-format", "jsonl", "--keep-input", kModel, notUtf8});
  EXPECT_EQ(run.out.rfind("{\"input\":{\"x\":\"u\\ufffd\",\"n\":\"5\"},", 0), 0u) << run.out;
  std::remove(notUtf8.c_str());

  // JSON Lines in, CSV out; a fault names its line.
  run = RunBnscore({"score", "--input-format", "jsonl", kModel, "-"}, kJsonCases);
  const std::string& firstRow = cli_network::kGood;
  EXPECT_EQ(run.out.substr(run.out.find('\n') + 1, firstRow.size()), firstRow);
  const std::string bad = testprocess::WriteTempFile(
      "streaming_bad.jsonl", "{\"x\":\"u\",\"n\":5}\n{\"x\":\"u\",\"m\":5}\n");
  run = RunBnscore({"score", "--input-format", "jsonl", kModel, bad});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, "bnscore: " + bad +
                         ":2: key \"m\" is not a column (the columns are the first record's "
                         "keys, or --columns)\n");
  std::remove(bad.c_str());
}

TEST(StreamingTest, HeaderlessPartitionsScoreAsWithTheirHeader) {
  const std::string withHeader = RunBnscore({"score", "--keep-input", kModel, kCases}).out;
  const std::string rows = withHeader.substr(withHeader.find('\n') + 1);
  const std::string cases = testprocess::ReadFile(kCases);
  const std::string headerless =
      testprocess::WriteTempFile("streaming_rows.csv", cases.substr(cases.find('\n') + 1));
  const std::string headerFile =
      testprocess::WriteTempFile("streaming_header.csv", "id,x,n,note\n");
  for (const char* threads : {"1", "2"}) {
    Outcome run =
        RunBnscore({"score", "--keep-input", "--no-header", "--columns", "id,x,n,note",
                    "--no-output-header", "--threads", threads, "--block-bytes", "8", kModel},
                   headerless);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, rows) << threads << " threads";
  }
  Outcome run = RunBnscore(
      {"score", "--keep-input", "--no-header", "--header-file", headerFile, kModel, headerless});
  EXPECT_EQ(run.out, withHeader);

  run = RunBnscore({"score", "--no-header", kModel, headerless});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err,
            "bnscore: --no-header needs the columns' names: --columns A,B,... or --header-file "
            "FILE\n");
  run = RunBnscore({"score", "--columns", "id,x,n,note", kModel, kCases});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err,
            "bnscore: --columns and --header-file name the columns of input without a header "
            "row: add --no-header\n");
  std::remove(headerless.c_str());
  std::remove(headerFile.c_str());
}

}  // namespace
