#ifndef BNSCORE_TESTS_CLI_BNSCOREPROCESS_H_
#define BNSCORE_TESTS_CLI_BNSCOREPROCESS_H_

#include <cstdlib>
#include <string>
#include <vector>

#include "tests/TestProcess.h"

// What bnscore writes for tests/data/cli_network.pmml: the header and the
// rows of its outcomes (the numbers are worked out in BnscoreTest.cpp).
namespace cli_network {
inline const std::string kModel = BNSCORE_TEST_DATA "/cli_network.pmml";
inline const std::string kHeader =
    "status,prediction,confidence,probability(good),\"probability(bad, \"\"really\"\")\"\n";
inline const std::string kGood =
    "0,good,0.9130434782608696,0.9130434782608696,0.08695652173913046\n";
inline const std::string kBad =
    "0,\"bad, \"\"really\"\"\",0.7272727272727273,0.27272727272727265,0.7272727272727273\n";
inline const std::string kNoScore = "90021,,,,\n";
inline const std::string kMissing = "90029,,,,\n";
}  // namespace cli_network

// Runs the built bnscore with `args`, standard input from `input`, and the
// plug-in of the build named by BNSCORE_PLUGIN unless
// `pluginFromEnvironment` is false; with `closedOutput`, into a pipe whose
// reader has gone (testprocess::Run).
inline testprocess::Outcome RunBnscore(const std::vector<std::string>& args,
                                       const std::string& input = "/dev/null",
                                       bool pluginFromEnvironment = true,
                                       bool closedOutput = false) {
  if (pluginFromEnvironment) {
    ::setenv("BNSCORE_PLUGIN", BNSCORE_LIB_DIR "/libbayesnet.so", 1);
  } else {
    ::unsetenv("BNSCORE_PLUGIN");
  }
  return testprocess::Run(BNSCORE_BIN_DIR "/bnscore", args, input, 0, closedOutput);
}

#endif  // BNSCORE_TESTS_CLI_BNSCOREPROCESS_H_
