#ifndef BNSCORE_ENGINE_MODELINTERNALS_H_
#define BNSCORE_ENGINE_MODELINTERNALS_H_

#include "bnscore/bnscore.h"
#include "host/interfaces/ScoreModel.h"

namespace bnscore {

// What the engine's own front ends (bnscore check, graph, evaluate and
// score's JSON Lines path) reach inside a Model, beyond the public API. Not
// exported from libbnscore.so: only code linked with the static copy uses
// it.
struct ModelInternals {
  // The host model the plug-in read; the Model owns it.
  static ScoreModel& GetHostModel(const Model& model);
  // The BayesNetModel text read when the model's document was converted
  // from another format (or given another target); "" otherwise.
  static const std::string& GetConvertedText(const Model& model);
};

}  // namespace bnscore

#endif  // BNSCORE_ENGINE_MODELINTERNALS_H_
