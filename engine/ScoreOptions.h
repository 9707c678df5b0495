#ifndef BNSCORE_ENGINE_SCOREOPTIONS_H_
#define BNSCORE_ENGINE_SCOREOPTIONS_H_

#include <string>

#include "bnscore/bnscore.h"

namespace bnscore::internal {

// How a model reads its records (the public LoadOptions, held whole) and
// how its records are read and written (the public CsvOptions, inherited,
// so that the two never differ). MakeScoreOptions builds it from the public
// options in one place.
struct ScoreOptions : bnscore::CsvOptions {
  bnscore::LoadOptions load;  // its plugin is not read here
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
