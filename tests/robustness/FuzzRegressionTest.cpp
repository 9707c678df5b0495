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

// Runs `run` on every file of `folder`, sorted so that failures read the
// same each run: it must give true for files ending in `accepted`, false
// for those ending in ".refused", and throw nothing.
template <typename Run>
void Replay(const std::string& folder, const std::string& accepted, Run run) {
  std::vector<fs::path> inputs;
  for (const fs::directory_entry& entry : fs::directory_iterator(kRegressions + folder)) {
    if (entry.is_regular_file()) inputs.push_back(entry.path());
  }
  std::sort(inputs.begin(), inputs.end());
  ASSERT_FALSE(inputs.empty());
  for (const fs::path& path : inputs) {
    const std::string ext = path.extension().string();
    ASSERT_TRUE(ext == accepted || ext == ".refused") << path;
    const std::string input = testprocess::ReadFile(path.string());
    bool outcome = false;
    EXPECT_NO_THROW(outcome =
                        run(reinterpret_cast<const std::uint8_t*>(input.data()), input.size()))
        << path;
    EXPECT_EQ(outcome, ext == accepted) << path;
  }
}

TEST(FuzzRegressions, PmmlInputsGiveAModelOrARefusal) {
  XmlPlatform platform;
  Replay("pmml", ".model", RunPmmlInput);
}

TEST(FuzzRegressions, CsvInputsAreScoredOrRefused) {
  XmlPlatform platform;
  CsvFuzzHarness harness(BNSCORE_TEST_DATA "/cli_network.pmml");
  Replay("csv", ".scored", [&harness](const std::uint8_t* data, std::size_t size) {
    return harness.Run(data, size);
  });
}

}  // namespace
