#ifndef BNSCORE_TESTS_FORMATS_PUBLISHEDNETWORKS_H_
#define BNSCORE_TESTS_FORMATS_PUBLISHEDNETWORKS_H_

#include <map>
#include <random>
#include <string>
#include <vector>

// The published networks of shared/networks, read for the tests by a BIF
// reader of their own (not the formats library's), and the exact posterior
// of a target given every other variable, computed from those tables.
namespace testnets {

struct Node {
  std::string name;
  std::vector<std::string> states;
  std::vector<int> parents;  // indices
  // configuration (parents' state indices) -> probabilities
  std::map<std::vector<int>, std::vector<double>> rows;
};

struct Net {
  std::vector<Node> nodes;
  int Index(const std::string& name) const;
};

// The directory of the networks, or "" when it is not there.
std::string NetworksDir();
std::vector<std::string> BifFiles();  // full paths, sorted
Net ReadBifForTest(const std::string& path);
Net ReadBifTextForTest(const std::string& text);

// The net with every row of its tables divided by the row's sum; whether
// two nets' tables agree entry by entry to `tolerance`; the net as BIF
// text (every number round-trips).
Net Normalized(Net net);
bool SameTables(const Net& a, const Net& b, double tolerance);
std::string BifText(const Net& net);

// P(target = c | every other node as in `states`), c in state order;
// all zeros when every product is 0.
std::vector<double> Posterior(const Net& net, int target, const std::vector<int>& states);
// A record drawn from the network (ancestral sampling); nodes must be in an
// order whose parents come first or the draw is repeated until they do.
std::vector<int> Sample(const Net& net, std::mt19937_64& random);
// The node whose Markov blanket is largest.
int LargestBlanket(const Net& net);

}  // namespace testnets

#endif  // BNSCORE_TESTS_FORMATS_PUBLISHEDNETWORKS_H_
