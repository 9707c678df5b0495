#ifndef BNSCORE_CLI_MODELSUMMARY_H_
#define BNSCORE_CLI_MODELSUMMARY_H_

#include <ostream>
#include <string>

#include "host/ScoreModel.h"

// Writes what `bnscore check` prints about a model that was read: its type
// and version, the target with its categories, the input fields and the
// derived fields, each with its value type and measure.
void WriteModelSummary(const ScoreModel& model, const std::string& modelPath, std::ostream& out);

#endif  // BNSCORE_CLI_MODELSUMMARY_H_
