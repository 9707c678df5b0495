#ifndef BNSCORE_ENGINE_SCOREOPTIONS_H_
#define BNSCORE_ENGINE_SCOREOPTIONS_H_

#include <string>

#include "bnscore/bnscore.h"

namespace bnscore::internal {

// The formats of records read and written.
enum class RecordFormat { Csv, JsonLines };

// The options of `bnscore score`: how the model reads its records (the
// public LoadOptions, held whole), how its CSV is read and written (the
// public CsvOptions, inherited, so that the two never differ), and the
// files. MakeScoreOptions builds it from the public options in one place.
struct ScoreOptions : bnscore::CsvOptions {
  bnscore::LoadOptions load;      // its plugin is not read here
  std::string recordsPath = "-";  // "-": standard input
  std::string outputPath;         // "" or "-": standard output

  bool progress = true;          // a progress line when stderr is a terminal
  int progressIntervalMs = 100;  // between its redraws

  // JSON Lines in or out is read and written by bnscore's own loop (in
  // column blocks too), not by Model::ScoreCsv.
  RecordFormat inputFormat = RecordFormat::Csv;
  RecordFormat outputFormat = RecordFormat::Csv;
};

// The options of a Model loaded with `load` scoring CSV with `csv`.
inline ScoreOptions MakeScoreOptions(const bnscore::LoadOptions& load,
                                     const bnscore::CsvOptions& csv) {
  ScoreOptions options;
  static_cast<bnscore::CsvOptions&>(options) = csv;
  options.load = load;
  return options;
}

}  // namespace bnscore::internal

#endif  // BNSCORE_ENGINE_SCOREOPTIONS_H_
