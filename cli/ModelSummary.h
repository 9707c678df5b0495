#ifndef BNSCORE_CLI_MODELSUMMARY_H_
#define BNSCORE_CLI_MODELSUMMARY_H_

#include <ostream>
#include <string>
#include <vector>

#include "host/interfaces/ScoreModel.h"

namespace bnscore::cli {

// Writes what `bnscore check` prints about a model that was read: its type
// and version, the target with its categories, the input fields and the
// derived fields, each with its value type and measure (a binning derived
// field with its bins and their cut points, DescribeBins); then the arcs of
// the network and the target's Markov blanket, read from the model's
// document (`modelPath`), which the host interfaces do not describe.
void WriteModelSummary(const ScoreModel& model, const std::string& modelPath, std::ostream& out);

// The columns that records for `model` need: its predictors, in the order
// of its data dictionary, the order every front end lists fields in (the
// library's Schema, the service's model description).
std::vector<std::string> ExpectedColumns(const ScoreModel& model);

// Writes ExpectedColumns as a CSV header row.
void WriteExpectedHeader(const ScoreModel& model, std::ostream& out);

// The same as WriteModelSummary, as one JSON object on one line:
//   {"model":PATH,"type":"Bayesian network","type_code":28,"version":"1.0",
//    "target":VARIABLE,"inputs":[VARIABLE...],"derived":[VARIABLE...],
//    "arcs":[[PARENT,CHILD]...],"markov_blanket":[NAME...]}
// where VARIABLE is {"name":..,"value_type":"numeric"|"string",
// "measure":..,"categories":[..]}; "version" and "target" are null when
// the model has none. A derived field that bins a field adds
// "bins":FIELD and "intervals":[{"category":..,"interval":"(0, 10]"}...].
void WriteModelSummaryJson(const ScoreModel& model, const std::string& modelPath,
                           std::ostream& out);

// ExpectedColumns as a JSON array on one line.
void WriteExpectedHeaderJson(const ScoreModel& model, std::ostream& out);

}  // namespace bnscore::cli

#endif  // BNSCORE_CLI_MODELSUMMARY_H_
