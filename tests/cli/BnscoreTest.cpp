// End-to-end tests: run the built bnscore on the PMML and CSV files of
// tests/data/cli_* and check exit statuses and the exact output bytes.
//
// cli_network.pmml: target t (good, bad "really") with prior 0.6 / 0.4 and
// children n (bins n <= 10, n > 10) and x (u, v, z); the model multiplies
// the factors in the order t, n, x (children sorted by name):
//   n bin 0, x = u: good 0.6*0.5*0.7 = 0.21, bad 0.4*0.25*0.2 = 0.02,
//     sum 0.23: good 0.21/0.23 = 0.9130434782608696, bad 0.08695652173913046
//   n bin 1, x = v: good 0.6*0.5*0.3 = 0.09, bad 0.4*0.75*0.8 = 0.24,
//     sum 0.33: good 0.27272727272727265, bad 0.24/0.33 = 0.7272727272727273
//   x = z: every product is 0, status 90021
//   x = w (unknown), n empty, n = "abc" (system-missing): status 90029

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/TestProcess.h"

namespace {

using testprocess::Outcome;
using testprocess::ReadFile;
using testprocess::TempPath;

const std::string kData = BNSCORE_TEST_DATA "/";
const std::string kModel = kData + "cli_network.pmml";
const std::string kCases = kData + "cli_cases.csv";

const std::string kHeader =
    "status,prediction,confidence,probability(good),\"probability(bad, \"\"really\"\")\"\n";
const std::string kGood = "0,good,0.9130434782608696,0.9130434782608696,0.08695652173913046\n";
const std::string kBad =
    "0,\"bad, \"\"really\"\"\",0.7272727272727273,0.27272727272727265,0.7272727272727273\n";
const std::string kNoScore = "90021,,,,\n";
const std::string kMissing = "90029,,,,\n";
const std::string kCasesOutput = kHeader + kGood + kBad + kNoScore + kMissing + kMissing + kMissing;
const std::string kCasesSummary =
    "bnscore: scored 6 records: 2 with status 0, 1 with status 90021, 3 with status 90029\n";

// Runs bnscore with `args`, standard input from `input`, and the plug-in of
// the build named by BNSCORE_PLUGIN unless `pluginFromEnvironment` is false.
Outcome RunBnscore(const std::vector<std::string>& args, const std::string& input = "/dev/null",
            bool pluginFromEnvironment = true) {
  if (pluginFromEnvironment) {
    ::setenv("BNSCORE_PLUGIN", BNSCORE_LIB_DIR "/libbayesnet.so", 1);
  } else {
    ::unsetenv("BNSCORE_PLUGIN");
  }
  return testprocess::Run(BNSCORE_BIN_DIR "/bnscore", args, input);
}

bool StartsWith(const std::string& text, const std::string& prefix) {
  return text.compare(0, prefix.size(), prefix) == 0;
}

TEST(BnscoreTest, ScoresEveryRecordAndSummarisesTheStatuses) {
  Outcome run = RunBnscore({"score", kModel, kCases});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, kCasesOutput);
  EXPECT_EQ(run.err, kCasesSummary);

  // Records given by name only score the same.
  EXPECT_EQ(RunBnscore({"score", "--by-name", kModel, kCases}).out, kCasesOutput);

  // From standard input ("-" or no name), into a file.
  EXPECT_EQ(RunBnscore({"score", kModel}, kCases).out, kCasesOutput);
  const std::string outFile = TempPath("bnscore_test_output.csv");
  run = RunBnscore({"score", "-o", outFile, kModel, "-"}, kCases);
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(ReadFile(outFile), kCasesOutput);
  std::remove(outFile.c_str());
}

TEST(BnscoreTest, OutputOptions) {
  Outcome run = RunBnscore({"score", "--keep-input", kModel, kCases});
  EXPECT_EQ(run.status, 0);
  // The input cells as read, quoted again where they need it.
  EXPECT_EQ(run.out, "id,x,n,note," + kHeader +
                         "1,u,5,plain," + kGood +
                         "2,v,15,\"a, b\"," + kBad +
                         "3,z,10,\"say \"\"hi\"\"\"," + kNoScore +
                         "4,w,5,," + kMissing +
                         "5,u,,\"two\r\nlines\"," + kMissing +
                         "6,u,abc,x," + kMissing);

  run = RunBnscore({"score", "--prediction-only", kModel, kCases});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out,
            "status,prediction\n0,good\n0,\"bad, \"\"really\"\"\"\n90021,\n90029,\n90029,\n90029,\n");
  EXPECT_EQ(run.err, kCasesSummary);
}

TEST(BnscoreTest, DerivedValuesComeFromTheRecordOnlyWhenAsked) {
  // n_bin is computed from n (5: "small") unless the records carry it; the
  // record's "huge" is no category of n_bin.
  const std::string derived = kData + "cli_derived.csv";
  Outcome run = RunBnscore({"score", kModel, derived});
  EXPECT_EQ(run.out, kHeader + kGood + kGood);
  run = RunBnscore({"score", "--derived-in-record", kModel, derived});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, kHeader + kGood + kMissing);
  EXPECT_EQ(run.err, "bnscore: scored 2 records: 1 with status 0, 1 with status 90029\n");
}

TEST(BnscoreTest, HeaderOnlyInputScoresNothing) {
  Outcome run = RunBnscore({"score", kModel, kData + "cli_header_only.csv"});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, kHeader);
  EXPECT_EQ(run.err, "bnscore: scored 0 records\n");
}

TEST(BnscoreTest, CsvAndFileFaultsExitWithOne) {
  const std::string ragged = kData + "cli_ragged.csv";
  Outcome run = RunBnscore({"score", kModel, ragged});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, "bnscore: " + ragged + ":3: the row has 2 fields but the header has 4 fields\n");
  EXPECT_EQ(run.out, kHeader + kGood);  // the rows before the fault

  const std::string unterminated = kData + "cli_unterminated.csv";
  run = RunBnscore({"score", kModel, unterminated});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err,
            "bnscore: " + unterminated + ":3: quoted field is not closed before the end of the input\n");

  const std::string empty = kData + "cli_empty.csv";
  run = RunBnscore({"score", kModel, empty});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, "bnscore: " + empty + ": no header row: the input is empty\n");
  EXPECT_EQ(run.out, "");

  // Writing over the input would empty it before it is read.
  const std::string copy = TempPath("bnscore_test_same.csv");
  { std::ofstream(copy, std::ios::binary) << ReadFile(kCases); }
  run = RunBnscore({"score", "-o", copy, kModel, copy});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, "bnscore: the output " + copy + " is the input " + copy + "\n");
  EXPECT_EQ(ReadFile(copy), ReadFile(kCases));
  std::remove(copy.c_str());

  const std::string absent = kData + "cli_no_such_file.csv";
  run = RunBnscore({"score", kModel, absent});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, "bnscore: cannot open " + absent + ": No such file or directory\n");
}

TEST(BnscoreTest, RejectedModelsExitWithTwo) {
  const std::string loop = kData + "cli_loop.pmml";
  Outcome run = RunBnscore({"score", loop, kCases});
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.err, "bnscore: " + loop + ": error 1: Loop is not allowed.\n");
  EXPECT_EQ(run.out, "");

  // The host's parser refuses XML that is not well-formed, and a file that
  // is not there, with code 9; the message is the host's, on one line.
  for (const std::string& model : {kData + "cli_not_xml.pmml", kData + "cli_no_such_file.pmml"}) {
    run = RunBnscore({"check", model});
    EXPECT_EQ(run.status, 2) << model;
    EXPECT_TRUE(StartsWith(run.err, "bnscore: " + model + ": error 9: ")) << run.err;
    EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << run.err;
  }
}

TEST(BnscoreTest, PluginAndUsage) {
  // Without --plugin or BNSCORE_PLUGIN, the plug-in in ../lib is found.
  Outcome run = RunBnscore({"score", kModel, kCases}, "/dev/null", false);
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, kCasesOutput);

  run = RunBnscore({"check", "--plugin", "/nonexistent/libbayesnet.so", kModel});
  EXPECT_EQ(run.status, 1);
  EXPECT_TRUE(StartsWith(run.err, "bnscore: cannot load plug-in: /nonexistent/libbayesnet.so"))
      << run.err;

  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
           {}, {"score"}, {"score", "--threads", "2", kModel}, {"frobnicate", kModel}}) {
    run = RunBnscore(args);
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(StartsWith(run.err, "bnscore: ")) << run.err;
  }
  run = RunBnscore({"--help"});
  EXPECT_EQ(run.status, 0);
  EXPECT_NE(run.out.find("Exit status"), std::string::npos);
  run = RunBnscore({"--version"});
  EXPECT_EQ(run.status, 0);
  EXPECT_TRUE(StartsWith(run.out, "bnscore ")) << run.out;
}

// A generated model and a few thousand records with missing and unknown
// values, derived fields, and a note column whose quoted cells span lines;
// some rows end with CRLF. A ragged row goes after data row `raggedAfter`
// (none when 0); its line is returned in `raggedLine`.
void WriteGeneratedCase(const std::string& model, const std::string& records, int raggedAfter = 0,
                        long* raggedLine = nullptr) {
  const std::string generated = TempPath("bnscore_generated.csv");
  std::vector<std::string> args = {"--string", "3", "--binned", "2", "--numeric", "2",
                                   "--derived", "2", "--structure", "general",
                                   "--max-parents", "2", "--missing-cells", "0.03",
                                   "--unknown-values", "0.03", "--missing-configurations", "0.2",
                                   "--method", "adjustedBayes", "--seed", "7", "-n", "3000",
                                   model, generated};
  ASSERT_EQ(testprocess::Run(BNSCORE_BIN_DIR "/bngen", args).status, 0);
  std::istringstream in(ReadFile(generated));
  std::remove(generated.c_str());
  std::string text;
  std::string row;
  long line = 1;
  for (int i = 0; std::getline(in, row); ++i) {
    std::string note = i == 0 ? "note" : i % 5 == 0 ? "\"two\nlines, \"\"quoted\"\"\"" : "plain";
    text += row + "," + note + (i % 7 == 3 ? "\r\n" : "\n");
    line += 1 + (i > 0 && i % 5 == 0 ? 1 : 0);
    if (i == raggedAfter && raggedAfter > 0) {
      text += "1,2\n";
      *raggedLine = line;
    }
  }
  std::ofstream(records, std::ios::binary) << text;
}

TEST(BnscoreTest, ThreadsGiveTheSameOutput) {
  const std::string model = TempPath("bnscore_generated.pmml");
  const std::string records = TempPath("bnscore_generated_records.csv");
  WriteGeneratedCase(model, records);
  Outcome one = RunBnscore({"score", "--threads", "1", "--keep-input", model, records});
  ASSERT_EQ(one.status, 0) << one.err;
  EXPECT_TRUE(StartsWith(one.err, "bnscore: scored 3000 records: ")) << one.err;
  EXPECT_NE(one.err.find("with status 90029"), std::string::npos) << one.err;
  EXPECT_NE(one.out.find("\"two\nlines, \"\"quoted\"\"\""), std::string::npos);
  for (const std::vector<std::string>& threads : std::vector<std::vector<std::string>>{
           {"--threads", "2"}, {"--threads", "3", "--block-bytes", "50"}}) {
    std::vector<std::string> args = {"score", "--keep-input", model, records};
    args.insert(args.end(), threads.begin(), threads.end());
    Outcome many = RunBnscore(args);
    EXPECT_EQ(many.status, 0) << threads[1];
    EXPECT_EQ(many.err, one.err) << threads[1];
    EXPECT_TRUE(many.out == one.out) << threads[1];  // not printed: long
  }
  EXPECT_EQ(RunBnscore({"score", "--threads", "0", model, records}).status, 1);
  std::remove(records.c_str());
  std::remove(model.c_str());
}

TEST(BnscoreTest, RaggedRowInALaterBlockStopsAfterTheRowsBeforeIt) {
  const std::string model = TempPath("bnscore_ragged.pmml");
  const std::string records = TempPath("bnscore_ragged_records.csv");
  long line = 0;
  WriteGeneratedCase(model, records, 2500, &line);
  ASSERT_GT(line, 2500);
  const std::string fault = "bnscore: " + records + ":" + std::to_string(line) +
                            ": the row has 2 fields but the header has 10 fields\n";
  Outcome one = RunBnscore({"score", "--threads", "1", model, records});
  EXPECT_EQ(one.status, 1);
  EXPECT_EQ(one.err, fault);
  EXPECT_EQ(std::count(one.out.begin(), one.out.end(), '\n'), 2501);  // header and rows
  Outcome many = RunBnscore({"score", "--threads", "3", "--block-bytes", "100", model, records});
  EXPECT_EQ(many.status, 1);
  EXPECT_EQ(many.err, fault);
  EXPECT_TRUE(many.out == one.out);
  std::remove(records.c_str());
  std::remove(model.c_str());
}

TEST(BnscoreTest, CheckAndDisplay) {
  Outcome run = RunBnscore({"check", kModel});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, "model: " + kModel +
                         "\n"
                         "type: Bayesian network (28)\n"
                         "written by version: 2.0\n"
                         "target: t (string, categorical): good, bad, \"really\"\n"
                         "input fields (2):\n"
                         "  x (string, categorical): u, v, z\n"
                         "  n (numeric, continuous)\n"
                         "derived fields (1):\n"
                         "  n_bin (string, categorical): small, large\n");
  run = RunBnscore({"display", kModel});
  EXPECT_EQ(run.status, 0);
  EXPECT_TRUE(StartsWith(run.out, "\nBegin Display of BayesNetModel.\n")) << run.out;
}

TEST(BnscoreTest, ScoresTheExample) {
  Outcome run = RunBnscore({"score", BNSCORE_EXAMPLES "/credit_risk.pmml", BNSCORE_EXAMPLES "/applicants.csv"});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.err, "bnscore: scored 20 records: 18 with status 0, 2 with status 90029\n");
  // A01: salaried (risk's parent), income 52000 (bin 1), 1 dependent, age
  // 34 (adult): low 0.60*0.50*0.30*0.55 = 0.0495, medium 0.30*0.55*0.30*0.45
  // = 0.022275, high 0.10*0.45*0.25*0.35 = 0.0039375; low 0.0495/0.0757125.
  EXPECT_TRUE(StartsWith(run.out,
                         "status,prediction,confidence,probability(low),probability(medium),"
                         "probability(high)\n"
                         "0,low,0.6537890044576523,0.6537890044576523,0.29420505200594355,"
                         "0.052005943536404156\n"))
      << run.out;
}

}  // namespace
