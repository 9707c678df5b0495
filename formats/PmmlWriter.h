#ifndef BNSCORE_FORMATS_PMMLWRITER_H_
#define BNSCORE_FORMATS_PMMLWRITER_H_

#include <string>

#include "formats/Network.h"

namespace bnscore::formats {

// Writes `network` as a BayesNetModel document that the plug-in reads: the
// variable `target` is the predicted field, every other variable an active
// predictor in network order (so the records' columns are the variables'
// names); a variable's parents in network order too, whatever order the
// source listed them in; every variable a categorical string field whose values are its
// states in order, except a binned variable, whose input becomes a
// continuous field binned by a Discretize derived field of the variable's
// name; one arc per parent; one table per variable, one row per given
// configuration (a binned parent's state written as its bin code), each
// probability as the shortest text that reads back exactly.
//
// A network that says how its tables were learned (parameterLearning) gets
// that MiningBuildTask too; one learned here (learningSettings) an
// Extension whose Learning element carries the settings as attributes.
// The output depends on nothing but the network and the target, so two
// documents of the same network give the same bytes. Throws FormatError
// when the target is not a plain variable of the network, or when a name
// cannot be written (empty, with blanks at either end, or with control
// characters: the model's lists trim blanks and XML has no control
// characters).
std::string WritePmml(const Network& network, const std::string& target);

}  // namespace bnscore::formats

#endif  // BNSCORE_FORMATS_PMMLWRITER_H_
