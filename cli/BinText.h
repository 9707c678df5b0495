#ifndef BNSCORE_CLI_BINTEXT_H_
#define BNSCORE_CLI_BINTEXT_H_

#include <string>

#include "host/data/TransformationDictionary.h"
#include "host/interfaces/ScoreModel.h"

namespace bnscore::cli {

// The Discretize behind derived field `name` of the model's transformation
// dictionary; null when the field is not a discretization (or there is no
// such field). Borrowed from the model.
const Discretization* FindBins(const ScoreModel& model, const std::string& name);

// The bins with their cut points, in document order. Bins that follow one
// another without gap or overlap, from minus to plus infinity, read as a
// chain:
//   low <= 25000 < middle <= 60000 < high
// any others bin by bin, with intervals:
//   low (-inf, 25000]; high (60000, +inf)
std::string DescribeBins(const Discretization& bins);

// One bin's interval: "(25000, 60000]", "(-inf, 30]".
std::string DescribeInterval(const DiscretizeBin& bin);

}  // namespace bnscore::cli

#endif  // BNSCORE_CLI_BINTEXT_H_
