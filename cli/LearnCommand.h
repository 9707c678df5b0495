#ifndef BNSCORE_CLI_LEARNCOMMAND_H_
#define BNSCORE_CLI_LEARNCOMMAND_H_

#include <ostream>
#include <string>

#include "bnscore/learn.h"

namespace CLI {
class App;
}

namespace bnscore::cli {

// `bnscore learn DATA --target T -o MODEL [--structure naive|tan|k2|given:FILE]
// [--max-parents N] [--discretize ...] [--alpha A] ...`: learns a classifier
// from CSV data and writes it as a BayesNetModel document.
struct LearnArguments {
  std::string data;    // a CSV file, or "-": standard input (held in memory)
  std::string output;  // "" or "-": standard output
  std::string delimiter = ",";
  std::string missingValues;
  bool quiet = false;
  bnscore::LearnOptions options;
};

CLI::App* AddLearnCommand(CLI::App& app, LearnArguments& arguments);

// Learns and writes; the notes and faults go to `errors` as "bnscore: ..."
// lines. Returns the exit status: 0 written, 1 a usage, file or data fault.
int RunLearn(LearnArguments& arguments, std::ostream& errors);

}  // namespace bnscore::cli

#endif  // BNSCORE_CLI_LEARNCOMMAND_H_
