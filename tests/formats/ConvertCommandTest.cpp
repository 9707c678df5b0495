// `bnscore convert` and the commands' --target, as a user runs them.
#include <gtest/gtest.h>

#include "tests/TestProcess.h"

namespace {

testprocess::Outcome Bnscore(const std::vector<std::string>& args) {
  return testprocess::Run(BNSCORE_BIN_DIR "/bnscore", args);
}

const std::string kPlugin = BNSCORE_LIB_DIR "/libbayesnet.so";
const std::string kData = BNSCORE_TEST_DATA "/formats/";

TEST(ConvertCommand, ConvertsChecksAndScoresWithExitStatuses) {
  const std::string asia = kData + "asia.xml";
  const std::string pmml = testprocess::TempPath("asia.pmml");
  auto converted = Bnscore({"convert", asia, "-o", pmml, "--target", "either"});
  ASSERT_EQ(converted.status, 0) << converted.err;
  // The converted file scores as the network read directly with --target.
  const std::string records = testprocess::WriteTempFile(
      "asia.csv", "asia,tub,smoke,lung,bronc,xray,dysp\nyes,no,yes,no,no,yes,yes\n");
  auto direct = Bnscore({"score", "--plugin", kPlugin, "--target", "either", asia, records});
  auto viaFile = Bnscore({"score", "--plugin", kPlugin, pmml, records});
  ASSERT_EQ(direct.status, 0) << direct.err;
  EXPECT_EQ(direct.out, viaFile.out);
  // BIF back out and in again gives the same document.
  auto bif = Bnscore({"convert", pmml, "--to", "bif"});
  ASSERT_EQ(bif.status, 0) << bif.err;
  const std::string bifPath = testprocess::WriteTempFile("asia.bif", bif.out);
  auto again = Bnscore({"convert", "--from", "bif", bifPath, "--target", "either"});
  EXPECT_EQ(again.out, testprocess::ReadFile(pmml));

  // check shows what a DMG document says of its model.
  auto check = Bnscore({"check", "--plugin", kPlugin, kData + "dmg_credit.pmml"});
  ASSERT_EQ(check.status, 0) << check.err;
  EXPECT_NE(check.out.find("source model type: TAN\nsource inference method: Exact\n"),
            std::string::npos)
      << check.out;
  EXPECT_NE(check.out.find("risk -> age"), std::string::npos) << check.out;

  // Refused documents exit 2 with file, line and column; usage and file
  // faults exit 1.
  const std::string bad = testprocess::WriteTempFile("bad.bif", "network n {\n}\nvariable {\n");
  auto refused = Bnscore({"convert", bad, "--target", "x"});
  EXPECT_EQ(refused.status, 2);
  EXPECT_EQ(refused.err, "bnscore: " + bad + ":3:10: expected a variable's name, found '{'\n");
  auto noTarget = Bnscore({"convert", asia});
  EXPECT_EQ(noTarget.status, 2);
  EXPECT_EQ(noTarget.err,
            "bnscore: " + asia + ": the document names no target: give one with --target NODE\n");
  auto unknown = Bnscore({"convert", asia, "--target", "nothing"});
  EXPECT_EQ(unknown.err, "bnscore: " + asia + ": the network has no variable 'nothing'\n");
  EXPECT_EQ(Bnscore({"convert", kData + "absent.bif"}).status, 1);
  // A state XMLBIF would read back trimmed is refused by its writer.
  const std::string crState = testprocess::WriteTempFile(
      "cr.bif",
      std::string("network n {\n}\nvariable x {\n  type discrete [ 2 ] { \"\re\", f };\n}\n"));
  auto trimmed = Bnscore({"convert", crState, "--to", "xmlbif"});
  EXPECT_EQ(trimmed.status, 2) << trimmed.out;
  EXPECT_NE(trimmed.err.find("cannot be written in XMLBIF, which trims blanks"), std::string::npos)
      << trimmed.err;
  // And by the PMML writer: a row's text is read trimmed of white space.
  trimmed = Bnscore({"convert", crState, "--target", "x"});
  EXPECT_EQ(trimmed.status, 2) << trimmed.out;
  EXPECT_NE(trimmed.err.find("the state '\re' begins or ends with white space"), std::string::npos)
      << trimmed.err;

  // The document limits are options: a network within the defaults is
  // refused below them, XML or not.
  auto nodes =
      Bnscore({"check", "--plugin", kPlugin, "--target", "either", "--max-nodes", "60", asia});
  EXPECT_EQ(nodes.status, 2);
  EXPECT_NE(nodes.err.find(": error 9: " + asia + ":18:37: more than 60 nodes (elements"),
            std::string::npos)
      << nodes.err;
  auto bytes = Bnscore({"check", "--plugin", kPlugin, "--max-document-bytes", "1000", "--target",
                        "either", bifPath});
  EXPECT_EQ(bytes.status, 2);
  EXPECT_NE(bytes.err.find(bifPath + ": the document is larger than 1000 bytes"), std::string::npos)
      << bytes.err;
  EXPECT_EQ(Bnscore({"convert", asia, "--to", "dot"}).status, 1);
}

}  // namespace
