// Replays every input of tests/data/fuzz-regressions through the code the
// fuzz targets run. A file's extension says the outcome it must have:
//   pmml/*.model    a model is read (and its records scored)
//   pmml/*.refused  the document is refused with a VkException
//   csv/*.scored    every record is scored
//   csv/*.refused   the input is refused with a EngineError
// Anything else escaping, or a crash, fails; the sanitizer build checks
// memory and undefined behaviour on the same inputs.

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "fuzz/CsvFuzzHarness.h"
#include "fuzz/PmmlFuzzHarness.h"
#include "host/xml/XmlPlatform.h"
#include "tests/TestProcess.h"

namespace {

namespace fs = std::filesystem;

const std::string kRegressions = BNSCORE_TEST_DATA "/fuzz-regressions/";

// The files of `folder`, sorted, so that failures read the same each run.
std::vector<fs::path> Inputs(const std::string& folder) {
  std::vector<fs::path> paths;
  for (const fs::directory_entry& entry : fs::directory_iterator(kRegressions + folder)) {
    if (entry.is_regular_file()) paths.push_back(entry.path());
  }
  std::sort(paths.begin(), paths.end());
  return paths;
}

const std::uint8_t* Bytes(const std::string& text) {
  return reinterpret_cast<const std::uint8_t*>(text.data());
}

TEST(FuzzRegressions, PmmlInputsGiveAModelOrARefusal) {
  XmlPlatform platform;
  const std::vector<fs::path> inputs = Inputs("pmml");
  ASSERT_FALSE(inputs.empty());
  for (const fs::path& path : inputs) {
    const std::string ext = path.extension().string();
    ASSERT_TRUE(ext == ".model" || ext == ".refused") << path;
    const std::string input = testprocess::ReadFile(path.string());
    bool model = false;
    EXPECT_NO_THROW(model = RunPmmlInput(Bytes(input), input.size())) << path;
    EXPECT_EQ(model, ext == ".model") << path;
  }
}

TEST(FuzzRegressions, CsvInputsAreScoredOrRefused) {
  XmlPlatform platform;
  CsvFuzzHarness harness(BNSCORE_TEST_DATA "/cli_network.pmml");
  const std::vector<fs::path> inputs = Inputs("csv");
  ASSERT_FALSE(inputs.empty());
  for (const fs::path& path : inputs) {
    const std::string ext = path.extension().string();
    ASSERT_TRUE(ext == ".scored" || ext == ".refused") << path;
    const std::string input = testprocess::ReadFile(path.string());
    bool scored = false;
    EXPECT_NO_THROW(scored = harness.Run(Bytes(input), input.size())) << path;
    EXPECT_EQ(scored, ext == ".scored") << path;
  }
}

}  // namespace
