// The progress line of score and evaluate: drawn on a terminal (a
// pseudo-terminal made by script(1)) when the input is a file, erased
// before the summary; never when standard error is not a terminal, when the
// input is a pipe, or with --no-progress. --progress-interval 0 redraws at
// every check (every 256 records), so that a small file shows it.

#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>

#include <gtest/gtest.h>

#include "tests/TestProcess.h"
#include "tests/cli/BnscoreProcess.h"

namespace {

const std::string kModel = BNSCORE_TEST_DATA "/cli_network.pmml";
const std::string kErase = "\r\x1b[K";
const std::string kSummary = "bnscore: scored 1000 records: 1000 with status 0";

// Runs the shell command `command` under a pseudo-terminal; what it wrote
// to the terminal (line ends as CR LF).
std::string OnTerminal(const std::string& command) {
  ::setenv("BNSCORE_PLUGIN", BNSCORE_LIB_DIR "/libbayesnet.so", 1);
  testprocess::Outcome run = testprocess::Run("/usr/bin/script", {"-qec", command, "/dev/null"});
  EXPECT_EQ(run.status, 0) << run.out << run.err;
  return run.out;
}

bool EndsWith(const std::string& text, const std::string& end) {
  return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

class ProgressTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (::access("/usr/bin/script", X_OK) != 0) GTEST_SKIP() << "no script(1)";
    std::ofstream records(records_);
    records << "x,n\n";
    for (int i = 0; i < 1000; ++i) records << "u,5\n";
  }
  void TearDown() override {
    std::remove(records_.c_str());
    std::remove(output_.c_str());
  }

  // bnscore COMMAND with the progress line redrawn at every check.
  std::string Bnscore(const std::string& arguments) const {
    return std::string("'") + BNSCORE_BIN_DIR + "/bnscore' " + arguments +
           " --progress-interval 0 -o '" + output_ + "' '" + kModel + "'";
  }

  const std::string records_ = testprocess::TempPath("progress_records.csv");
  const std::string output_ = testprocess::TempPath("progress_output.csv");
};

TEST_F(ProgressTest, ShownOnATerminalForAFileAndErasedBeforeTheSummary) {
  for (const char* threads : {"1", "2"}) {
    const std::string shown =
        OnTerminal(Bnscore(std::string("score --block-bytes 100 --threads ") + threads) + " '" +
                   records_ + "'");
    EXPECT_EQ(shown.rfind(kErase + "bnscore: ", 0), 0u) << shown;
    EXPECT_NE(shown.find(" records/s, "), std::string::npos) << shown;
    EXPECT_NE(shown.find("% of 0.0 MB"), std::string::npos) << shown;
    EXPECT_TRUE(EndsWith(shown, kErase + kSummary + "\r\n")) << shown;
  }
  const std::string sequential = OnTerminal(Bnscore("score --threads 1") + " '" + records_ + "'");
  EXPECT_NE(sequential.find(kErase + "bnscore: 256 records, "), std::string::npos) << sequential;
  EXPECT_NE(sequential.find(kErase + "bnscore: 768 records, "), std::string::npos);

  // evaluate draws it too, and erases it before its report (sent elsewhere).
  const std::string evaluate = OnTerminal(std::string("'") + BNSCORE_BIN_DIR +
                                          "/bnscore' evaluate --label x --progress-interval 0 '" +
                                          kModel + "' '" + records_ + "' > /dev/null");
  EXPECT_EQ(evaluate.rfind(kErase + "bnscore: 256 records, ", 0), 0u) << evaluate;
  EXPECT_TRUE(EndsWith(evaluate, "records/s, 100% of 0.0 MB" + kErase)) << evaluate;
}

TEST_F(ProgressTest, NeverShownOffATerminalForAPipeOrWhenTurnedOff) {
  testprocess::Outcome run =
      RunBnscore({"score", "--progress-interval", "0", "-o", output_, kModel, records_});
  EXPECT_EQ(run.err, kSummary + "\n");
  EXPECT_EQ(OnTerminal("cat '" + records_ + "' | " + Bnscore("score")), kSummary + "\r\n");
  EXPECT_EQ(OnTerminal(Bnscore("score --no-progress") + " '" + records_ + "'"), kSummary + "\r\n");
}

}  // namespace
