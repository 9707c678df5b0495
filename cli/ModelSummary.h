#ifndef BNSCORE_CLI_MODELSUMMARY_H_
#define BNSCORE_CLI_MODELSUMMARY_H_

#include <ostream>
#include <string>
#include <vector>

#include "host/interfaces/ScoreModel.h"

// Writes what `bnscore check` prints about a model that was read: its type
// and version, the target with its categories, the input fields and the
// derived fields, each with its value type and measure; then the arcs of
// the network and the target's Markov blanket, read from the model's
// document (`modelPath`), which the host interfaces do not describe.
void WriteModelSummary(const ScoreModel& model, const std::string& modelPath, std::ostream& out);

// The columns that records for `model` need: its predictors, in the order
// of the mining schema of its document (`modelPath`).
std::vector<std::string> ExpectedColumns(const ScoreModel& model, const std::string& modelPath);

// Writes ExpectedColumns as a CSV header row.
void WriteExpectedHeader(const ScoreModel& model, const std::string& modelPath,
                         std::ostream& out);

// The same as WriteModelSummary, as one JSON object on one line:
//   {"model":PATH,"type":"Bayesian network","type_code":28,"version":"1.0",
//    "target":VARIABLE,"inputs":[VARIABLE...],"derived":[VARIABLE...],
//    "arcs":[[PARENT,CHILD]...],"markov_blanket":[NAME...]}
// where VARIABLE is {"name":..,"value_type":"numeric"|"string",
// "measure":..,"categories":[..]}; "version" and "target" are null when
// the model has none.
void WriteModelSummaryJson(const ScoreModel& model, const std::string& modelPath,
                           std::ostream& out);

// ExpectedColumns as a JSON array on one line.
void WriteExpectedHeaderJson(const ScoreModel& model, const std::string& modelPath,
                             std::ostream& out);

#endif  // BNSCORE_CLI_MODELSUMMARY_H_
