#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/TestProcess.h"

namespace {

testprocess::Outcome Bnscore(const std::vector<std::string>& args,
                             const std::string& input = "/dev/null") {
  return testprocess::Run(BNSCORE_BIN_DIR "/bnscore", args, input);
}

const char kData[] =
    "x;colour;class\n"
    "1;red;a\n2;red;a\n3;blue;a\n1.5;red;a\n2.5;red;a\n3;red;a\n"
    "4;blue;b\n5;blue;b\n6;red;b\n4.5;blue;b\n5.5;blue;b\n6.5;blue;b\n"
    "7;;b\n";

// learn from a file and from standard input gives one document, which
// bnscore score reads; the notes go to standard error.
TEST(LearnCommand, WritesAModelThatScores) {
  const std::string data = testprocess::WriteTempFile("learn.csv", kData);
  const std::string model = testprocess::TempPath("learn.pmml");
  const auto learned = Bnscore(
      {"learn", data, "--target", "class", "--delimiter", ";", "--structure", "tan", "-o", model});
  ASSERT_EQ(learned.status, 0) << learned.err;
  EXPECT_EQ(learned.err, "bnscore: learn: read 13 rows\nbnscore: learn: arc x_bin -> colour\n");
  const auto piped = Bnscore(
      {"learn", "-", "--target", "class", "--delimiter", ";", "--structure", "tan", "--quiet"},
      data);
  EXPECT_EQ(piped.status, 0);
  EXPECT_EQ(piped.err, "");
  EXPECT_EQ(piped.out, testprocess::ReadFile(model));

  const std::string records =
      testprocess::WriteTempFile("learn-records.csv", "x,colour\n2,red\n5,blue\n");
  const auto scored = Bnscore({"score", model, records, "--threads", "1"});
  ASSERT_EQ(scored.status, 0) << scored.err;
  EXPECT_EQ(scored.out.substr(0, scored.out.find('\n')),
            "status,prediction,confidence,probability(a),probability(b)");
  EXPECT_NE(scored.out.find("\n0,a,"), std::string::npos) << scored.out;
  EXPECT_NE(scored.out.find("\n0,b,"), std::string::npos) << scored.out;
  std::remove(model.c_str());
  std::remove(records.c_str());

  const auto absent = Bnscore({"learn", data, "--target", "klass"});
  EXPECT_EQ(absent.status, 1);
  EXPECT_EQ(absent.err, "bnscore: " + data + ": no column 'klass'\n");
  const auto badBins = Bnscore(
      {"learn", data, "--target", "class", "--delimiter", ";", "--discretize", "equal-width:x"});
  EXPECT_EQ(badBins.status, 1);
  EXPECT_EQ(badBins.err,
            "bnscore: --discretize equal-width:x: K must be a whole number from 2 to 1000\n");
  std::remove(data.c_str());
}

}  // namespace
