// The published networks, converted from BIF and scored through the
// plug-in, against the exact posterior of the target given every other
// variable, computed here from the BIF tables by the test's own reader.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <set>

#include "bnscore/bnscore.h"
#include "tests/formats/PublishedNetworks.h"

namespace {

const std::string kPlugin = BNSCORE_LIB_DIR "/libbayesnet.so";

// Scores `record` (state indices, one per node) with `model` and compares
// with the exact posterior; counts the exact zeros met.
void ExpectPosterior(const bnscore::Model& model, const testnets::Net& net, int target,
                     const std::vector<int>& record, long& zeros) {
  std::vector<bnscore::NamedCell> cells;
  for (std::size_t n = 0; n < net.nodes.size(); ++n) {
    if (static_cast<int>(n) == target) continue;
    cells.push_back({net.nodes[n].name,
                     bnscore::Cell::Of(net.nodes[n].states[static_cast<std::size_t>(record[n])])});
  }
  const std::vector<double> exact = testnets::Posterior(net, target, record);
  std::vector<double> p(exact.size());
  const bnscore::Outcome outcome = model.ScoreOne(cells, p);
  double sum = 0.0;
  for (double e : exact) sum += e;
  if (sum == 0.0) {
    EXPECT_EQ(outcome.status, bnscore::kNoPositiveScore);
    return;
  }
  ASSERT_EQ(outcome.status, bnscore::kScored);
  for (std::size_t c = 0; c < exact.size(); ++c) {
    if (exact[c] == 0.0) {
      EXPECT_EQ(p[c], 0.0) << "category " << c;
      ++zeros;
    } else {
      EXPECT_LE(std::fabs(p[c] - exact[c]), 1e-12 * exact[c])
          << "category " << c << ": " << p[c] << " vs " << exact[c];
    }
  }
}

TEST(PublishedNetworks, ConvertedNetworksScoreTheExactPosterior) {
  if (testnets::NetworksDir().empty()) {
    GTEST_SKIP() << "the published networks are not at " BNSCORE_NETWORKS_DIR
                    " (set BNSCORE_NETWORKS_DIR)";
  }
  long zeros = 0;
  long scored = 0;
  for (const std::string& path : testnets::BifFiles()) {
    SCOPED_TRACE(path);
    const testnets::Net net = testnets::ReadBifForTest(path);
    std::set<int> targets{testnets::LargestBlanket(net), 0, static_cast<int>(net.nodes.size()) - 1};
    for (int target : targets) {
      const testnets::Node& node = net.nodes[static_cast<std::size_t>(target)];
      SCOPED_TRACE(node.name);
      bnscore::LoadOptions options;
      options.plugin = kPlugin;
      options.target = node.name;
      const auto model = bnscore::Model::Load(path, options);
      ASSERT_EQ(model->GetSchema().target, node.name);
      ASSERT_EQ(model->GetSchema().categories, node.states);
      ASSERT_EQ(model->GetSchema().inputs.size(), net.nodes.size() - 1);
      std::mt19937_64 random(static_cast<unsigned>(target) * 7919u + net.nodes.size());
      for (int i = 0; i < 150; ++i) {
        ExpectPosterior(*model, net, target, testnets::Sample(net, random), zeros);
      }
      // Records the network makes impossible too: every category may then
      // score 0.
      for (int i = 0; i < 50; ++i) {
        std::vector<int> record;
        for (const testnets::Node& n : net.nodes) {
          record.push_back(static_cast<int>(random() % n.states.size()));
        }
        ExpectPosterior(*model, net, target, record, zeros);
      }
      scored += 200;
    }
  }
  EXPECT_GE(scored, 200 * 10);
  EXPECT_GT(zeros, 0) << "no record reached an exact zero";
}

}  // namespace
