// What refusing a hostile document costs: `bnscore check` reads each one
// in a child process under an address-space limit, and must refuse it
// (status 2, one line naming the file) within 1 s (of CPU time, and of
// wall time unless the machine is overloaded) and 100 MB of peak resident
// memory. The documents are the costly ones generated here
// (CostlyDocuments.h) and every document of tests/data that a reader
// rejects. The peak that the kernel reports for a child includes the peak
// of the process that forked it (it is carried over exec): ctest runs each
// test in a process of its own, which stays far below the budget. Under
// the sanitizers, which multiply time and memory and reserve terabytes of
// address space, only the refusals are checked.

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "tests/TestProcess.h"
#include "tests/robustness/CostlyDocuments.h"

namespace {

namespace fs = std::filesystem;

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kBudgeted = false;
#else
constexpr bool kBudgeted = true;
#endif

constexpr double kMaxSeconds = 1.0;
constexpr long kMaxPeakKb = 100 * 1024;
// Stops a runaway child before it troubles the machine; the peak resident
// memory checked below is the budget.
constexpr rlim_t kAddressSpace = rlim_t{256} << 20;

// True when more processes wait to run than the machine has cores.
bool Overloaded() {
  double load = 0.0;
  std::ifstream("/proc/loadavg") >> load;
  return load > static_cast<double>(std::thread::hardware_concurrency());
}

// Checks that bnscore refuses the document at `path` within the budget,
// with a message that holds each of `parts`.
void ExpectRefusedCheaply(const std::string& path, const std::vector<std::string>& parts) {
  auto check = [&path] {
    return testprocess::Run(BNSCORE_BIN_DIR "/bnscore", {"check", path}, "/dev/null",
                            kBudgeted ? kAddressSpace : 0);
  };
  testprocess::Outcome run = check();
  // Wall time is the fastest of up to three runs: other processes only
  // ever add to it. On a machine busier than it has cores, wall time says
  // little; the CPU time that the child spent is checked in any case.
  for (int i = 1; i < 3 && kBudgeted && run.seconds >= kMaxSeconds; ++i) {
    run.seconds = std::min(run.seconds, check().seconds);
  }
  EXPECT_EQ(run.status, 2) << path << ": " << run.err.substr(0, 300);
  EXPECT_EQ(run.err.rfind("bnscore: " + path + ": error ", 0), 0u) << run.err.substr(0, 300);
  for (const std::string& part : parts) {
    EXPECT_NE(run.err.find(part), std::string::npos) << part << "\n" << run.err.substr(0, 300);
  }
  if (kBudgeted) {
    EXPECT_LT(run.cpuSeconds, kMaxSeconds) << path;
    if (!Overloaded()) {
      EXPECT_LT(run.seconds, kMaxSeconds) << path;
    }
    EXPECT_LT(run.peakRssKb, kMaxPeakKb) << path;
  }
}

TEST(HostileBudget, CostlyDocumentsAreRefusedCheaply) {
  ::setenv("BNSCORE_PLUGIN", BNSCORE_LIB_DIR "/libbayesnet.so", 1);
  for (const costly::Document& document : costly::Documents()) {
    const std::string path = testprocess::TempPath(document.name + ".pmml");
    {
      std::ofstream out(path, std::ios::binary);
      document.write(out);
    }
    ExpectRefusedCheaply(path,
                         {": error " + std::to_string(document.code) + ": ", document.reason});
    std::remove(path.c_str());
  }
}

TEST(HostileBudget, RejectedDocumentsOfTheTestsAreRefusedCheaply) {
  ::setenv("BNSCORE_PLUGIN", BNSCORE_LIB_DIR "/libbayesnet.so", 1);
  std::vector<std::string> paths;
  for (const fs::directory_entry& entry : fs::directory_iterator(BNSCORE_TEST_DATA)) {
    const std::string name = entry.path().filename().string();
    if (name.rfind("plugin_fault_", 0) == 0 || name == "cli_loop.pmml" ||
        name == "cli_not_xml.pmml") {
      paths.push_back(entry.path().string());
    }
  }
  for (const fs::directory_entry& entry :
       fs::directory_iterator(BNSCORE_TEST_DATA "/fuzz-regressions/pmml")) {
    if (entry.path().extension() == ".refused") paths.push_back(entry.path().string());
  }
  std::sort(paths.begin(), paths.end());
  ASSERT_GT(paths.size(), 40u);
  for (const std::string& path : paths) ExpectRefusedCheaply(path, {});
}

}  // namespace
