#ifndef BNSCORE_LEARN_STRUCTURESEARCH_H_
#define BNSCORE_LEARN_STRUCTURESEARCH_H_

#include <cstddef>
#include <vector>

#include "learn/FamilyCounts.h"

namespace bnscore::learn {

// The conditional mutual information I(A; B | C) in nats of the counts of
// the three variables (A, B, C in the table's order: its variables 1, 2
// and 0, i.e. a table laid out as (C, A, B)).
double ConditionalMutualInformation(const FamilyCounts& cab);

// A maximum-weight spanning tree over n nodes (weights[i][j], symmetric),
// grown from node 0: parent[i] of every node, parent[0] = n (the root).
// Ties go to the lower-numbered edge, so the tree depends only on the
// weights.
std::vector<std::size_t> MaximumSpanningTree(const std::vector<std::vector<double>>& weights);

// The K2 (Cooper–Herskovits) log score of a family: the table laid out as
// (parents..., child), the child fastest, of `childStates` states:
// sum over parent configurations of
// lgamma(r) - lgamma(N_pa + r) + sum_x lgamma(N_x,pa + 1), r = childStates.
double K2Score(const FamilyCounts& family, std::size_t childStates);

}  // namespace bnscore::learn

#endif  // BNSCORE_LEARN_STRUCTURESEARCH_H_
