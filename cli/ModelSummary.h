#ifndef BNSCORE_CLI_MODELSUMMARY_H_
#define BNSCORE_CLI_MODELSUMMARY_H_

#include <ostream>
#include <string>

#include "bnscore/bnscore.h"

namespace bnscore::cli {

// Writes what `bnscore check` prints about a model that was read: its type
// and version, the target with its categories, the input fields and the
// derived fields, each with its value type and measure (a binning derived
// field with its bins and their cut points, DescribeBins); then the arcs of
// the network and the target's Markov blanket as the plug-in read them
// (Model::GetStructure). `modelPath` is only shown.
void WriteModelSummary(const Model& model, const std::string& modelPath, std::ostream& out);

// Writes the columns that records for `model` need (its predictors, in the
// order of its data dictionary, the order every front end lists fields in)
// as a CSV header row.
void WriteExpectedHeader(const Model& model, std::ostream& out);

// The same as WriteModelSummary, as one JSON object on one line:
//   {"model":PATH,"type":"Bayesian network","type_code":28,"version":"1.0",
//    "target":VARIABLE,"inputs":[VARIABLE...],"derived":[VARIABLE...],
//    "arcs":[[PARENT,CHILD]...],"markov_blanket":[NAME...]}
// where VARIABLE is {"name":..,"value_type":"numeric"|"string",
// "measure":..,"categories":[..]}; "version" and "target" are null when
// the model has none. A derived field that bins a field adds
// "bins":FIELD and "intervals":[{"category":..,"interval":"(0, 10]"}...].
void WriteModelSummaryJson(const Model& model, const std::string& modelPath, std::ostream& out);

// The expected columns as a JSON array on one line.
void WriteExpectedHeaderJson(const Model& model, std::ostream& out);

}  // namespace bnscore::cli

#endif  // BNSCORE_CLI_MODELSUMMARY_H_
