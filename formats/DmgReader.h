#ifndef BNSCORE_FORMATS_DMGREADER_H_
#define BNSCORE_FORMATS_DMGREADER_H_

#include <string>
#include <string_view>

#include "formats/Network.h"
#include "formats/ReadLimits.h"

namespace bnscore::formats {

// Reads the first BayesianNetworkModel of a DMG PMML document (4.3/4.4):
// its DiscreteNodes, in document order, become the variables. A node's
// states are the valid Values of its DataField, else the values its
// ValueProbability elements name, in order of appearance. A node-local
// DerivedField of the node's name holding a Discretize makes it a binned
// variable of the Discretize's field (bins closed on the right, in
// ascending order, as the scorer bins). Root ValueProbability elements give
// a parentless table; each DiscreteConditionalProbability gives one row,
// its ParentValues naming the configuration (parents in the order of the
// node's first row). Rows never given stay unseen; states a row does not
// name get 0. The target is the MiningSchema's field of usageType "target"
// or "predicted"; modelType and inferenceMethod are kept (their defaults,
// General and Other, when absent). A ContinuousNode is refused. Requires a
// live XmlPlatform; faults throw FormatError with line and column.
Network ReadDmg(std::string_view text, const std::string& source, const ReadLimits& limits = {});

}  // namespace bnscore::formats

#endif  // BNSCORE_FORMATS_DMGREADER_H_
