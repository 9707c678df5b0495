#ifndef BNSCORE_CLI_BINTEXT_H_
#define BNSCORE_CLI_BINTEXT_H_

#include <string>
#include <vector>

#include "bnscore/bnscore.h"

namespace bnscore::cli {

// The bins with their cut points, in document order. Bins that follow one
// another without gap or overlap, from minus to plus infinity, read as a
// chain:
//   low <= 25000 < middle <= 60000 < high
// any others bin by bin, with intervals:
//   low (-inf, 25000]; high (60000, +inf)
std::string DescribeBins(const std::vector<Bin>& bins);

// One bin's interval: "(25000, 60000]", "(-inf, 30]".
std::string DescribeInterval(const Bin& bin);

}  // namespace bnscore::cli

#endif  // BNSCORE_CLI_BINTEXT_H_
