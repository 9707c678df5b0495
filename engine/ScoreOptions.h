#ifndef BNSCORE_ENGINE_SCOREOPTIONS_H_
#define BNSCORE_ENGINE_SCOREOPTIONS_H_

#include <cstddef>
#include <string>

// The options of `bnscore score`.
struct ScoreOptions {
  std::string recordsPath = "-";  // "-": standard input
  std::string outputPath;         // "" or "-": standard output
  bool byName = false;            // records without positional access
  bool derivedInRecord = false;   // records carry the derived fields' values
  bool predictionOnly = false;
  bool keepInput = false;         // copy the input columns to the output
  int threads = 1;                // scoring threads
  std::size_t blockBytes = std::size_t{1} << 18;  // input block, with threads > 1
};

#endif  // BNSCORE_ENGINE_SCOREOPTIONS_H_
