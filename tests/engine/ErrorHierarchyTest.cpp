// The faults the public API throws are the public classes of
// bnscore/errors.h, with their messages and places.

#include <gtest/gtest.h>

#include <string>

#include "bnscore/bnscore.h"

namespace {

const std::string kData = BNSCORE_TEST_DATA "/";

bnscore::LoadOptions WithPlugin() {
  bnscore::LoadOptions options;
  options.plugin = BNSCORE_LIB_DIR "/libbayesnet.so";
  return options;
}

TEST(ErrorHierarchyTest, FaultsArePublicSubclassesWithTheirPlace) {
  try {
    bnscore::Model::Load("/nonexistent/m.pmml", WithPlugin());
    ADD_FAILURE() << "no FileError";
  } catch (const bnscore::FileError& e) {
    EXPECT_STREQ(e.what(), "cannot open /nonexistent/m.pmml: No such file or directory");
  }
  try {
    bnscore::Model::LoadText("<PMML version=\"3.1\"/>", WithPlugin());
    ADD_FAILURE() << "no ModelError";
  } catch (const bnscore::ModelError& e) {
    EXPECT_EQ(std::string(e.what()),
              "error " + std::to_string(e.GetCode()) + ": " + e.GetMessage());
  }

  const auto model = bnscore::Model::Load(kData + "cli_network.pmml", WithPlugin());
  std::string out;
  bnscore::StringSink sink(out);
  bnscore::TextSource cells("x,n\nu,3\nv,inf\n");
  try {
    model->ScoreCsv(cells, "in.csv", sink);
    ADD_FAILURE() << "no CsvError";
  } catch (const bnscore::CsvError& e) {
    EXPECT_EQ(e.GetSource(), "in.csv");
    EXPECT_EQ(e.GetLine(), 3);
    EXPECT_EQ(e.GetColumn(), "n");
    EXPECT_EQ(std::string(e.what()), "in.csv:3: " + e.GetText());
    EXPECT_EQ(e.GetText().rfind("column n: \"inf\" is not a finite number", 0), 0u) << e.GetText();
  }

  // A sink whose reader went away stops the run with OutputClosed, a
  // FileError.
  struct ClosedSink : bnscore::ByteSink {
    void Write(const char*, std::size_t) override { throw bnscore::OutputClosed("gone"); }
  } closed;
  bnscore::TextSource rows("x,n\nu,3\n");
  EXPECT_THROW(model->ScoreCsv(rows, "in.csv", closed), bnscore::FileError);
}

}  // namespace
