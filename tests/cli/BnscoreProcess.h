#ifndef BNSCORE_TESTS_CLI_BNSCOREPROCESS_H_
#define BNSCORE_TESTS_CLI_BNSCOREPROCESS_H_

#include <cstdlib>
#include <string>
#include <vector>

#include "tests/TestProcess.h"

// Runs the built bnscore with `args`, standard input from `input`, and the
// plug-in of the build named by BNSCORE_PLUGIN unless
// `pluginFromEnvironment` is false.
inline testprocess::Outcome RunBnscore(const std::vector<std::string>& args,
                                       const std::string& input = "/dev/null",
                                       bool pluginFromEnvironment = true) {
  if (pluginFromEnvironment) {
    ::setenv("BNSCORE_PLUGIN", BNSCORE_LIB_DIR "/libbayesnet.so", 1);
  } else {
    ::unsetenv("BNSCORE_PLUGIN");
  }
  return testprocess::Run(BNSCORE_BIN_DIR "/bnscore", args, input);
}

#endif  // BNSCORE_TESTS_CLI_BNSCOREPROCESS_H_
