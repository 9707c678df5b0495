// bnscore score --missing/--unknown/--explain and bnscore query end to end,
// on tests/data/cli_network.pmml (see BnscoreTest.cpp): t (good 0.6, bad
// 0.4) with children x (good: u 0.7, v 0.3, z 0; bad: u 0.2, v 0.8, z 0)
// and n (good: bin 0 0.5, bin 1 0.5; bad: 0.25, 0.75).
//
// Records 4 (x = w, unknown; n = 5), 5 (n empty) and 6 (n = "abc") with
// their gaps summed out:
//   x out, n bin 0: good 0.6*0.5 = 0.3, bad 0.4*0.25 = 0.1: 0.75 / 0.25;
//     P(x = u | n) = 0.75*0.7 + 0.25*0.2 = 0.575, v 0.425, z 0
//   n out, x = u: good 0.6*0.7 = 0.42, bad 0.4*0.2 = 0.08: 0.84 / 0.16;
//     P(n bin 0 | x) = 0.84*0.5 + 0.16*0.25 = 0.46, bin 1 0.54
// The log-odds of good over bad for record 1 (x = u, n bin 0) is
// log(0.6/0.4) + log(0.7/0.2) + log(0.5/0.25): the terms (prior) 0.405...,
// x 1.2527..., n 0.6931....
#include <gtest/gtest.h>

#include <string>

#include "tests/cli/BnscoreProcess.h"

namespace {

using cli_network::kBad;
using cli_network::kGood;
using cli_network::kHeader;
using cli_network::kMissing;
using cli_network::kModel;
using cli_network::kNoScore;

const std::string kCases = BNSCORE_TEST_DATA "/cli_cases.csv";
const std::string kSummedN = "0,good,0.84,0.84,0.16000000000000003\n";

TEST(InferenceCliTest, GapsAreSummedOutOnlyWhenAsked) {
  // The default, and --missing stop, as ever.
  const std::string today = kHeader + kGood + kBad + kNoScore + kMissing + kMissing + kMissing;
  EXPECT_EQ(RunBnscore({"score", kModel, kCases}).out, today);
  EXPECT_EQ(RunBnscore({"score", "--missing", "stop", kModel, kCases}).out, today);

  // An unknown value still stops its record without --unknown missing.
  testprocess::Outcome run = RunBnscore({"score", "--missing", "marginalize", kModel, kCases});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, kHeader + kGood + kBad + kNoScore + kMissing + kSummedN + kSummedN);
  EXPECT_EQ(run.err,
            "bnscore: scored 6 records: 4 with status 0, 1 with status 90021, "
            "1 with status 90029\n");
  run = RunBnscore({"score", "--missing", "marginalize", "--unknown", "missing", "--threads", "2",
                    kModel, kCases});
  EXPECT_EQ(run.out, kHeader + kGood + kBad + kNoScore +
                         "0,good,0.7499999999999999,0.7499999999999999,0.25\n" + kSummedN +
                         kSummedN);

  run = RunBnscore({"score", "--missing", "everything", kModel, kCases});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("--missing"), std::string::npos) << run.err;
}

TEST(InferenceCliTest, ExplainListsTheLargestTerms) {
  const testprocess::Outcome run =
      RunBnscore({"score", "--missing", "marginalize", "--explain", "3", kModel, kCases});
  EXPECT_EQ(run.status, 0);
  const std::string header =
      "status,prediction,confidence,probability(good),\"probability(bad, \"\"really\"\")\","
      "reason_1,reason_2,reason_3,logodds_1,logodds_2,logodds_3\n";
  // Record 2 (x = v, n bin 1): bad over good, log(0.8/0.3), log(0.75/0.5),
  // log(0.4/0.6). Record 5: n summed out, the prior and x remain.
  EXPECT_EQ(
      run.out,
      header +
          "0,good,0.9130434782608696,0.9130434782608696,0.08695652173913046,x,n,(prior),"
          "1.2527629684953678,0.6931471805599453,0.4054651081081643\n"
          "0,\"bad, \"\"really\"\"\",0.7272727272727273,0.27272727272727265,0.7272727272727273,"
          "x,n,(prior),0.9808292530117264,0.4054651081081644,-0.4054651081081643\n"
          "90021,,,,,,,,,,\n"
          "90029,,,,,,,,,,\n"
          "0,good,0.84,0.84,0.16000000000000003,x,(prior),,1.2527629684953678,"
          "0.4054651081081643,\n"
          "0,good,0.84,0.84,0.16000000000000003,x,(prior),,1.2527629684953678,"
          "0.4054651081081643,\n");
}

TEST(InferenceCliTest, ExplainInJsonLines) {
  const testprocess::Outcome run =
      RunBnscore({"score", "--explain", "1", "--output-format", "jsonl", kModel, kCases});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out.substr(0, run.out.find('\n')),
            "{\"status\":0,\"prediction\":\"good\",\"confidence\":0.9130434782608696,"
            "\"probabilities\":{\"good\":0.9130434782608696,\"bad, \\\"really\\\"\":"
            "0.08695652173913046},\"explanation\":[{\"field\":\"x\",\"value\":\"u\","
            "\"logOdds\":1.2527629684953678}]}");
  // A record not scored has none.
  EXPECT_NE(run.out.find("\"probabilities\":null,\"explanation\":[]}"), std::string::npos);
}

TEST(InferenceCliTest, QueryGivesAnyNodesPosterior) {
  testprocess::Outcome run =
      RunBnscore({"query", kModel, kCases, "--node", "t,x", "--unknown", "missing"});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out,
            "status,probability(t=good),\"probability(t=bad, \"\"really\"\")\",probability(x=u),"
            "probability(x=v),probability(x=z)\n"
            "0,0.9130434782608696,0.08695652173913046,1,0,0\n"
            "0,0.27272727272727265,0.7272727272727273,0,1,0\n"
            "90021,,,,,\n"
            "0,0.7499999999999999,0.25,0.575,0.425,0\n"
            "0,0.84,0.16000000000000003,1,0,0\n"
            "0,0.84,0.16000000000000003,1,0,0\n");
  // Without --unknown missing, x = w stops record 4; n's posterior for
  // records 5 and 6.
  run = RunBnscore({"query", kModel, kCases, "--node", "n"});
  // A binned node's categories are its intervals.
  EXPECT_EQ(run.out.substr(0, run.out.find('\n')),
            "status,\"probability(n=(-inf,10])\",\"probability(n=(10,inf))\"");
  EXPECT_EQ(run.out.substr(run.out.find("90021")), "90021,,\n90029,,\n0,0.46,0.54\n0,0.46,0.54\n");

  run = RunBnscore({"query", kModel, kCases, "--node", "t,nope"});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, "bnscore: no node \"nope\" in the model (its nodes: t, x, n)\n");
  EXPECT_EQ(run.out, "");
}

}  // namespace
