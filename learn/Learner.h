#ifndef BNSCORE_LEARN_LEARNER_H_
#define BNSCORE_LEARN_LEARNER_H_

#include "bnscore/learn.h"
#include "formats/Network.h"
#include "learn/DataSource.h"

namespace bnscore::learn {

// Learns a network from `source` as `options` say: one pass to profile the
// columns (and bin the numeric ones), then the passes the structure needs
// (naive and TAN one, k2 one per round of parent additions and one for the
// tables, given one). The network's first variable is the target, the
// others the kept columns in their order. Decisions go to `notes`.
formats::Network LearnNetwork(const DataSource& source, const LearnOptions& options,
                              std::vector<std::string>& notes);

}  // namespace bnscore::learn

#endif  // BNSCORE_LEARN_LEARNER_H_
