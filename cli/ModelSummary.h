#ifndef BNSCORE_CLI_MODELSUMMARY_H_
#define BNSCORE_CLI_MODELSUMMARY_H_

#include <ostream>
#include <string>

#include "host/ScoreModel.h"

// Writes what `bnscore check` prints about a model that was read: its type
// and version, the target with its categories, the input fields and the
// derived fields, each with its value type and measure; then the arcs of
// the network and the target's Markov blanket, read from the model's
// document (`modelPath`), which the host interfaces do not describe.
void WriteModelSummary(const ScoreModel& model, const std::string& modelPath, std::ostream& out);

// Writes the CSV header row that records for `model` need: its predictors,
// in the order of the mining schema of its document (`modelPath`).
void WriteExpectedHeader(const ScoreModel& model, const std::string& modelPath,
                         std::ostream& out);

#endif  // BNSCORE_CLI_MODELSUMMARY_H_
