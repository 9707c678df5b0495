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
#include "tests/cli/BnscoreProcess.h"

namespace {

using testprocess::Outcome;
using testprocess::ReadFile;
using testprocess::TempPath;
using testprocess::WriteTempFile;

using cli_network::kBad;
using cli_network::kGood;
using cli_network::kHeader;
using cli_network::kMissing;
using cli_network::kModel;
using cli_network::kNoScore;

const std::string kData = BNSCORE_TEST_DATA "/";
const std::string kCases = kData + "cli_cases.csv";

const std::string kCasesOutput = kHeader + kGood + kBad + kNoScore + kMissing + kMissing + kMissing;
const std::string kCasesSummary =
    "bnscore: scored 6 records: 2 with status 0, 1 with status 90021, 3 with status 90029\n";

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
  EXPECT_EQ(run.out, "id,x,n,note," + kHeader + "1,u,5,plain," + kGood + "2,v,15,\"a, b\"," + kBad +
                         "3,z,10,\"say \"\"hi\"\"\"," + kNoScore + "4,w,5,," + kMissing +
                         "5,u,,\"two\r\nlines\"," + kMissing + "6,u,abc,x," + kMissing);

  run = RunBnscore({"score", "--prediction-only", kModel, kCases});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(
      run.out,
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

TEST(BnscoreTest, ATargetThatIsAnActiveFieldIsReadByNameToo) {
  // T (0.6, 0.4) with the child X: P(a | X = x1) = 0.42 / (0.42 + 0.08);
  // T's own cell must be one of its categories.
  const std::string records = WriteTempFile("active_target.csv", "X,T\nx1,a\nx1,b\nx1,\nx1,zz\n");
  const std::string want =
      "status,prediction,confidence,probability(a),probability(b)\n"
      "0,a,0.84,0.84,0.16000000000000003\n0,a,0.84,0.84,0.16000000000000003\n"
      "90029,,,,\n90029,,,,\n";
  for (const char* order : {"--by-name", "--threads=1"}) {
    const Outcome run = RunBnscore({"score", order, kData + "active_target.pmml", records});
    EXPECT_EQ(run.out, want) << order;
    EXPECT_EQ(run.status, 0);
  }
  std::remove(records.c_str());
}

TEST(BnscoreTest, HeaderOnlyInputScoresNothing) {
  Outcome run = RunBnscore({"score", kModel, kData + "cli_header_only.csv"});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, kHeader);
  EXPECT_EQ(run.err, "bnscore: scored 0 records\n");
}

// Faults of the records' file exit with 1, of the model with 2 (rejected)
// or 1 (unreadable); the rows before a record fault are written.
TEST(BnscoreTest, FaultsExitWithTheirStatusAndOneLine) {
  const std::string ragged = kData + "cli_ragged.csv";
  const std::string unterminated = kData + "cli_unterminated.csv";
  const std::string empty = kData + "cli_empty.csv";
  const std::string absent = kData + "cli_no_such_file.csv";
  const std::string loop = kData + "cli_loop.pmml";
  const std::string absentModel = kData + "cli_no_such_file.pmml";
  struct Fault {
    std::vector<std::string> args;
    int status;
    std::string err, out;
  };
  const Fault faults[] = {
      {{"score", kModel, ragged},
       1,
       ragged + ":3: the row has 2 fields but the header has 4 fields",
       kHeader + kGood},
      {{"score", kModel, unterminated},
       1,
       unterminated + ":3: quoted field is not closed before the end of the input",
       kHeader + kGood},
      {{"score", kModel, empty}, 1, empty + ": no header row: the input is empty", ""},
      {{"score", kModel, absent}, 1, "cannot open " + absent + ": No such file or directory", ""},
      {{"score", loop, kCases}, 2, loop + ": error 1: Loop is not allowed.", ""},
      {{"score", absentModel, kCases},
       1,
       "cannot open " + absentModel + ": No such file or directory",
       ""},
      {{"check", kData}, 1, "cannot read " + kData + ": Is a directory", ""},
  };
  for (const Fault& fault : faults) {
    const Outcome run = RunBnscore(fault.args);
    EXPECT_EQ(run.status, fault.status) << fault.err;
    EXPECT_EQ(run.err, "bnscore: " + fault.err + "\n");
    EXPECT_EQ(run.out, fault.out) << fault.err;
  }

  // Writing over the input would empty it before it is read.
  const std::string copy = WriteTempFile("bnscore_test_same.csv", ReadFile(kCases));
  Outcome run = RunBnscore({"score", "-o", copy, kModel, copy});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, "bnscore: the output " + copy + " is the input " + copy + "\n");
  EXPECT_EQ(ReadFile(copy), ReadFile(kCases));
  std::remove(copy.c_str());

  // The host's parser refuses XML that is not well-formed with code 9; the
  // message is the host's, on one line.
  const std::string notXml = kData + "cli_not_xml.pmml";
  run = RunBnscore({"check", notXml});
  EXPECT_EQ(run.status, 2);
  EXPECT_TRUE(StartsWith(run.err, "bnscore: " + notXml + ": error 9: ")) << run.err;
  EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << run.err;
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
  std::vector<std::string> args = {"--string",
                                   "3",
                                   "--binned",
                                   "2",
                                   "--numeric",
                                   "2",
                                   "--derived",
                                   "2",
                                   "--structure",
                                   "general",
                                   "--max-parents",
                                   "2",
                                   "--missing-cells",
                                   "0.03",
                                   "--unknown-values",
                                   "0.03",
                                   "--missing-configurations",
                                   "0.2",
                                   "--method",
                                   "adjustedBayes",
                                   "--seed",
                                   "7",
                                   "-n",
                                   "3000",
                                   model,
                                   generated};
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
  Outcome one = RunBnscore({"score", "--threads", "1", "--keep-input", "--reason", model, records});
  ASSERT_EQ(one.status, 0) << one.err;
  // Every record not scored has its reason, derived predictors' too.
  EXPECT_NE(one.out.find(": missing (derived)\n"), std::string::npos);
  EXPECT_EQ(one.out.find("a predictor has no usable value"), std::string::npos);
  EXPECT_TRUE(StartsWith(one.err, "bnscore: scored 3000 records: ")) << one.err;
  EXPECT_NE(one.err.find("with status 90029"), std::string::npos) << one.err;
  EXPECT_NE(one.out.find("\"two\nlines, \"\"quoted\"\"\""), std::string::npos);
  for (const std::vector<std::string>& threads : std::vector<std::vector<std::string>>{
           {"--threads", "2"}, {"--threads", "3", "--block-bytes", "50"}}) {
    std::vector<std::string> args = {"score", "--keep-input", "--reason", model, records};
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
                         "  n_bin (string, categorical) bins n: small <= 10 < large\n"
                         "arcs (2):\n"
                         "  t -> x\n"
                         "  t -> n\n"
                         "Markov blanket of t (2): x, n\n");
  run = RunBnscore({"display", kModel});
  EXPECT_EQ(run.status, 0);
  EXPECT_TRUE(StartsWith(run.out, "\nBegin Display of BayesNetModel.\n")) << run.out;

  // The example: employment is a parent of both the target and income, so
  // the blanket holds a child's other parent.
  run = RunBnscore({"check", BNSCORE_EXAMPLES "/credit_risk.pmml"});
  EXPECT_NE(run.out.find("arcs (5):\n  employment -> risk\n  employment -> income\n"
                         "  risk -> income\n  risk -> dependents\n  risk -> age\n"
                         "Markov blanket of risk (4): employment, income, dependents, age\n"),
            std::string::npos)
      << run.out;

  // Each command's help shows its own options only.
  run = RunBnscore({"check", "--help"});
  EXPECT_EQ(run.status, 0);
  EXPECT_NE(run.out.find("--header"), std::string::npos) << run.out;
  EXPECT_EQ(run.out.find("--threads"), std::string::npos) << run.out;
  run = RunBnscore({"display", "--help"});
  EXPECT_EQ(run.out.find("--header"), std::string::npos) << run.out;
  EXPECT_EQ(run.out.find("probability("), std::string::npos) << run.out;
}

TEST(BnscoreTest, ScoresTheExample) {
  Outcome run = RunBnscore(
      {"score", BNSCORE_EXAMPLES "/credit_risk.pmml", BNSCORE_EXAMPLES "/applicants.csv"});
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

TEST(BnscoreTest, InputsWithoutPredictorColumnsAreRefused) {
  // A misspelt column, and a ';'-separated file read as one column.
  const std::string misspelt = WriteTempFile("bnscore_misspelt.csv", "id,x,N\n1,u,5\n");
  const std::string semicolons = WriteTempFile("bnscore_semicolons.csv", "id;x;n\n1;u;5\n");
  for (const std::string threads : {"1", "2"}) {
    Outcome run = RunBnscore({"score", "--threads", threads, kModel, misspelt});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err,
              "bnscore: " + misspelt + ": missing columns: n (the header has: id, x, N)\n");
    EXPECT_EQ(run.out, "");
  }
  Outcome run = RunBnscore({"score", kModel, semicolons});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, "bnscore: " + semicolons +
                         ": missing columns: x, n (the header has: id;x;n); is the delimiter ';'? "
                         "see --delimiter\n");

  run = RunBnscore({"score", "--allow-missing-columns", kModel, misspelt});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, kHeader + kMissing);

  // A field named twice is refused by every reader of the header, also when
  // missing columns are allowed; columns count from 1.
  const std::string twice = WriteTempFile("bnscore_twice.csv", "id,x,n,x,t\n1,u,5,v,good\n");
  const std::string twiceMessage =
      "bnscore: " + twice +
      ": the header names the field x twice (columns 2 and 4); drop or "
      "rename one\n";
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"score", "--threads", "1", kModel, twice},
        {"score", "--threads", "2", "--allow-missing-columns", kModel, twice},
        {"score", "--output-format", "jsonl", kModel, twice},
        {"evaluate", kModel, twice}}) {
    run = RunBnscore(args);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, twiceMessage);
    EXPECT_EQ(run.out, "");
  }
  std::remove(twice.c_str());

  run = RunBnscore({"check", "--header", kModel});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, "x,n\n");
  // In the data dictionary's order (not the mining schema's), as every
  // front end lists the fields.
  run = RunBnscore({"check", "--header", BNSCORE_EXAMPLES "/credit_risk.pmml"});
  EXPECT_EQ(run.out, "employment,dependents,income,age\n");
  std::remove(misspelt.c_str());
  std::remove(semicolons.c_str());
}

TEST(BnscoreTest, MissingValueTokensAndNonFiniteNumbers) {
  // n: NA and NaN are missing values; -1 only when listed; inf stops the
  // run at its line (the rows before it are written) unless allowed, and is
  // then read as a number (bin "large", as n = 15).
  const std::string tokens =
      WriteTempFile("bnscore_tokens.csv", "x,n\nu,NA\nu,NaN\nu,5\nu,-1\nv,inf\n");
  for (const std::string threads : {"1", "3"}) {
    Outcome run = RunBnscore({"score", "--threads", threads, "--block-bytes", "8", kModel, tokens});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "bnscore: " + tokens +
                           ":6: column n: \"inf\" is not a finite number (add it to "
                           "--missing-values, or pass --allow-nonfinite)\n");
    EXPECT_EQ(run.out, kHeader + kMissing + kMissing + kGood + kGood);
  }
  Outcome run = RunBnscore({"score", "--allow-nonfinite", kModel, tokens});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, kHeader + kMissing + kMissing + kGood + kGood + kBad);

  // A list of its own: NA is then text that is no number (system-missing).
  run = RunBnscore({"score", "--missing-values", "-1,inf,NaN", kModel, tokens});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, kHeader + kMissing + kMissing + kGood + kMissing + kMissing);
  run = RunBnscore({"score", "--missing-values", "", kModel, tokens});
  EXPECT_EQ(run.status, 1);
  EXPECT_TRUE(StartsWith(run.err, "bnscore: " + tokens + ":3: column n: \"NaN\"")) << run.err;
  std::remove(tokens.c_str());
}

TEST(BnscoreTest, ReasonSaysWhyARecordWasNotScored) {
  Outcome run = RunBnscore({"score", "--reason", kModel, kCases});
  EXPECT_EQ(run.status, 0);
  const std::string header = kHeader.substr(0, kHeader.size() - 1) + ",reason\n";
  const std::string missing = kMissing.substr(0, kMissing.size() - 1);
  EXPECT_EQ(run.out, header + kGood.substr(0, kGood.size() - 1) + ",\n" +
                         kBad.substr(0, kBad.size() - 1) + ",\n" +
                         "90021,,,,,no category has a positive score\n" + missing +
                         ",\"x: unknown category \"\"w\"\"\"\n" + missing + ",n: missing\n" +
                         missing + ",\"n: not a number \"\"abc\"\"\"\n");
  EXPECT_EQ(run.err, kCasesSummary);

  run = RunBnscore({"score", "--reason", "--prediction-only", "--derived-in-record", kModel,
                    kData + "cli_derived.csv"});
  EXPECT_EQ(run.out,
            "status,prediction,reason\n0,good,\n90029,,\"n_bin: unknown category \"\"huge\"\"\"\n");

  run = RunBnscore({"score", "--reason", "--allow-missing-columns", kModel},
                   WriteTempFile("bnscore_no_n.csv", "x\nu\n"));
  EXPECT_EQ(run.out, header + "90029,,,,,n: missing (no such column)\n");
}

TEST(BnscoreTest, OtherDelimitersForInputAndOutput) {
  for (const std::string option : {"\\t", ";"}) {
    const std::string c = option == ";" ? ";" : "\t";
    // The comma-separated output with the other delimiter; the target's
    // second category keeps its comma (it is quoted for its quotes).
    auto convert = [&c](std::string row) {
      for (std::size_t i = row.find(','); i != std::string::npos; i = row.find(',', i + 1)) {
        if (row.compare(i + 1, 9, " \"\"really") != 0) row.replace(i, 1, c);
      }
      return row;
    };
    const std::string input = WriteTempFile(
        "bnscore_delimited.csv", "id" + c + "x" + c + "n" + c + "note\n1" + c + "u" + c + "5" + c +
                                     "plain\n2" + c + "v" + c + "15" + c + "a, b\n4" + c + "w" + c +
                                     "5" + c + "\"x;y\"\n");
    const std::string expected =
        "id" + c + "x" + c + "n" + c + "note" + c + convert(kHeader) + "1" + c + "u" + c + "5" + c +
        "plain" + c + convert(kGood) + "2" + c + "v" + c + "15" + c + "a, b" + c + convert(kBad) +
        "4" + c + "w" + c + "5" + c + (c == ";" ? "\"x;y\"" : "x;y") + c + convert(kMissing);
    for (const std::string threads : {"1", "2"}) {
      Outcome run = RunBnscore({"score", "--keep-input", "--delimiter", option, "--threads",
                                threads, "--block-bytes", "16", kModel, input});
      EXPECT_EQ(run.status, 0) << run.err;
      EXPECT_EQ(run.out, expected);
    }
    std::remove(input.c_str());
  }
  // Bytes a cell holds unquoted cannot separate cells.
  for (const std::string refused : {"a", "5", "\"", ".", "-", "\r", "\n", ";;", ""}) {
    const Outcome run = RunBnscore({"score", "--delimiter", refused, kModel, kCases});
    EXPECT_EQ(run.status, 1) << refused;
    EXPECT_NE(run.err.find("the delimiter must be one punctuation character, a blank or a tab"),
              std::string::npos)
        << run.err;
    EXPECT_EQ(run.out, "");
  }
}

// Output that cannot be written (a full disk) is a failure with a message,
// for every command that writes to standard output.
TEST(BnscoreTest, StandardOutputOnAFullDiskFails) {
  for (const std::vector<std::string>& args : {std::vector<std::string>{"--help"},
                                               {"--version"},
                                               {"score", "--help"},
                                               {"check", kModel},
                                               {"display", kModel},
                                               {"check", "--header", kModel}}) {
    std::vector<std::string> shell = {"-c", "exec \"$0\" \"$@\" > /dev/full",
                                      BNSCORE_BIN_DIR "/bnscore"};
    shell.insert(shell.end(), args.begin(), args.end());
    ::setenv("BNSCORE_PLUGIN", BNSCORE_LIB_DIR "/libbayesnet.so", 1);
    const Outcome run = testprocess::Run("/bin/sh", shell);
    EXPECT_EQ(run.status, 1) << args[0];
    EXPECT_EQ(run.err, "bnscore: cannot write stdout: No space left on device\n") << args[0];
  }
}

TEST(BnscoreTest, AClosedOutputPipeEndsTheRunQuietlyWith141) {
  for (const std::vector<std::string>& args :
       std::vector<std::vector<std::string>>{{"score", "--threads", "1", kModel, kCases},
                                             {"score", "--threads", "2", kModel, kCases},
                                             {"check", kModel}}) {
    Outcome run = RunBnscore(args, "/dev/null", true, true);
    EXPECT_EQ(run.status, 141) << args[0] << " " << args[2];
    EXPECT_EQ(run.err, "") << args[0] << " " << args[2];
  }
}

TEST(BnscoreTest, KeptInputColumnsAndBlankLines) {
  // An input that already has result columns would give duplicate names.
  const std::string scored = WriteTempFile("bnscore_scored.csv", "x,n,status\nu,5,0\n");
  Outcome run = RunBnscore({"score", "--keep-input", kModel, scored});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, "bnscore: " + scored +
                         ": --keep-input: the input has a column \"status\", "
                         "which is a result column too; rename it in the input\n");
  EXPECT_EQ(RunBnscore({"score", kModel, scored}).status, 0);  // without --keep-input: fine

  // Blank lines are skipped and counted, or refused.
  const std::string blanks = WriteTempFile("bnscore_blanks.csv", "\nx,n\nu,5\n\r\n\nv,15\n");
  for (const std::string threads : {"1", "2"}) {
    run = RunBnscore({"score", "--threads", threads, "--block-bytes", "4", kModel, blanks});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, kHeader + kGood + kBad);
    EXPECT_EQ(run.err, "bnscore: scored 2 records: 2 with status 0; skipped 3 blank lines\n");
    run = RunBnscore({"score", "--threads", threads, "--blank-lines", "error", kModel, blanks});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "bnscore: " + blanks + ":1: blank line (--blank-lines skip skips them)\n");
  }
  run = RunBnscore({"score", "--blank-lines", "error", kModel, kCases});
  EXPECT_EQ(run.out, kCasesOutput);
  std::remove(scored.c_str());
  std::remove(blanks.c_str());
}

}  // namespace
