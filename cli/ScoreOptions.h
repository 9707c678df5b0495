#ifndef BNSCORE_CLI_SCOREOPTIONS_H_
#define BNSCORE_CLI_SCOREOPTIONS_H_

#include <string>

#include "bnscore/bnscore.h"

namespace bnscore::cli {

// The options of `bnscore score` (and of the input of `evaluate`): how the
// model reads its records (the public LoadOptions, held whole), how the
// records are read and written (the public CsvOptions, inherited, so that
// the two never differ), the files and the progress line.
struct ScoreOptions : bnscore::CsvOptions {
  bnscore::LoadOptions load;      // its plugin is not read here
  std::string recordsPath = "-";  // "-": standard input
  std::string outputPath;         // "" or "-": standard output

  bool progress = true;          // a progress line when stderr is a terminal
  int progressIntervalMs = 100;  // between its redraws
};

}  // namespace bnscore::cli

#endif  // BNSCORE_CLI_SCOREOPTIONS_H_
