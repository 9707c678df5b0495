// The small published networks scored with fields summed out (ScoreOne and
// Query), against the posterior computed by enumerating the whole joint
// from the test's own reading of the BIF tables.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <fstream>
#include <random>
#include <set>
#include <span>
#include <string>
#include <vector>

#include "bnscore/bnscore.h"
#include "tests/formats/PublishedNetworks.h"

namespace {

const std::string kPlugin = BNSCORE_LIB_DIR "/libbayesnet.so";

// `path` itself when every row of its tables adds up to one (to 1e-12),
// else a copy whose rows do (each divided by its sum): summing out a node
// none of whose descendants is observed takes its rows to add up to one,
// and only then is the enumeration of the whole joint the exact answer.
std::string ProperTables(const std::string& path, const std::string& name) {
  const testnets::Net net = testnets::ReadBifForTest(path);
  const testnets::Net proper = testnets::Normalized(net);
  if (testnets::SameTables(net, proper, 1e-12)) return path;
  const std::string copy = ::testing::TempDir() + name + "-proper.bif";
  std::ofstream(copy) << testnets::BifText(proper);
  return copy;
}

// Per node, P(node = s, evidence) for each state s, summed over every
// state combination that agrees with the evidence (evidence[i] < 0: node i
// not observed) of the product of the nodes' table entries (node 0 varying
// fastest).
std::vector<std::vector<long double>> Marginals(const testnets::Net& net,
                                                const std::vector<int>& evidence) {
  std::vector<std::vector<long double>> m;
  for (const testnets::Node& node : net.nodes) m.emplace_back(node.states.size(), 0.0L);
  for (std::vector<int> x(net.nodes.size(), 0);;) {
    long double p = 1.0L;
    for (std::size_t i = 0; i < x.size() && p != 0.0L; ++i) {
      if (evidence[i] >= 0 && evidence[i] != x[i]) p = 0.0L;
    }
    for (std::size_t i = 0; i < x.size() && p != 0.0L; ++i) {
      std::vector<int> config;
      for (int parent : net.nodes[i].parents) config.push_back(x[static_cast<std::size_t>(parent)]);
      p *= net.nodes[i].rows.at(config)[static_cast<std::size_t>(x[i])];
    }
    for (std::size_t i = 0; i < x.size(); ++i) m[i][static_cast<std::size_t>(x[i])] += p;
    std::size_t i = 0;
    while (i < x.size() && ++x[i] == static_cast<int>(net.nodes[i].states.size())) x[i++] = 0;
    if (i == x.size()) return m;
  }
}

// `got` against P(s | evidence) = marginal[s] / sum: exact zeros exactly,
// the rest to 1e-12 relative.
void ExpectPosterior(std::span<const double> got, const std::vector<long double>& marginal,
                     const std::string& what) {
  long double sum = 0.0L;
  for (long double v : marginal) sum += v;
  for (std::size_t s = 0; s < marginal.size(); ++s) {
    const double want = static_cast<double>(marginal[s] / sum);
    if (want == 0.0) {
      EXPECT_EQ(got[s], 0.0) << what << " state " << s;
    } else {
      EXPECT_LE(std::fabs(got[s] - want), 1e-12 * want)
          << what << " state " << s << ": " << got[s] << " vs " << want;
    }
  }
}

TEST(MissingEvidence, SummedOutFieldsGiveTheEnumeratedPosterior) {
  if (testnets::NetworksDir().empty()) {
    GTEST_SKIP() << "the published networks are not at " BNSCORE_NETWORKS_DIR
                    " (set BNSCORE_NETWORKS_DIR)";
  }
  long zeroEvidence = 0;
  long queried = 0;
  for (const char* name : {"asia", "cancer", "earthquake", "survey", "sachs"}) {
    const std::string path = ProperTables(testnets::NetworksDir() + "/bif/" + name + ".bif", name);
    SCOPED_TRACE(path);
    const testnets::Net net = testnets::ReadBifForTest(path);
    for (const int target : std::set<int>{testnets::LargestBlanket(net), 0}) {
      const testnets::Node& t = net.nodes[static_cast<std::size_t>(target)];
      SCOPED_TRACE("target " + t.name);

      bnscore::LoadOptions options;
      options.plugin = kPlugin;
      options.target = t.name;
      const auto plain = bnscore::Model::Load(path, options);
      options.missing = bnscore::MissingValues::kMarginalize;
      const auto model = bnscore::Model::Load(path, options);
      ASSERT_EQ(model->GetSchema().categories, t.states);

      // Query's node indices, in the test's node order.
      std::vector<int> every;
      std::size_t cells = 0;
      for (const testnets::Node& node : net.nodes) {
        every.push_back(model->FindNode(node.name));
        ASSERT_GE(every.back(), 0) << node.name;
        cells += node.states.size();
      }

      std::mt19937_64 random(net.nodes.size() * 1009u + static_cast<unsigned>(target));
      std::vector<double> p(t.states.size());
      std::vector<double> q(t.states.size());
      int queriedHere = 0;
      for (int r = 0; r < 80; ++r) {
        SCOPED_TRACE("record " + std::to_string(r));
        // Drawn from the network, or (one in four) uniformly, which the
        // network may make impossible.
        std::vector<int> evidence = testnets::Sample(net, random);
        for (std::size_t i = 0; i < evidence.size() && r % 4 == 3; ++i) {
          evidence[i] = static_cast<int>(random() % net.nodes[i].states.size());
        }
        evidence[static_cast<std::size_t>(target)] = -1;
        std::vector<bnscore::NamedCell> complete;
        std::vector<bnscore::NamedCell> record;
        for (std::size_t i = 0; i < net.nodes.size(); ++i) {
          if (evidence[i] < 0) continue;
          const bnscore::NamedCell cell{
              net.nodes[i].name,
              bnscore::Cell::Of(net.nodes[i].states[static_cast<std::size_t>(evidence[i])])};
          complete.push_back(cell);
          if (r == 0 || random() % 10 < 3) {  // a gap; record 0: nothing observed
            evidence[i] = -1;
          } else {
            record.push_back(cell);
          }
        }

        // Nothing missing: the same bits as without summing out.
        const bnscore::Outcome all = model->ScoreOne(complete, p);
        const bnscore::Outcome today = plain->ScoreOne(complete, q);
        ASSERT_EQ(all.status, today.status);
        EXPECT_EQ(all.prediction, today.prediction);
        if (all.status == bnscore::kScored) {
          EXPECT_EQ(std::bit_cast<std::uint64_t>(all.confidence),
                    std::bit_cast<std::uint64_t>(today.confidence));
          for (std::size_t c = 0; c < p.size(); ++c) {
            EXPECT_EQ(std::bit_cast<std::uint64_t>(p[c]), std::bit_cast<std::uint64_t>(q[c]))
                << "category " << c;
          }
        }

        // Gaps: the default stops, summing out gives P(target | what is observed).
        if (record.size() < complete.size()) {
          EXPECT_EQ(plain->ScoreOne(record, q).status, bnscore::kMissingPredictor);
        }
        const std::vector<std::vector<long double>> m = Marginals(net, evidence);
        long double sum = 0.0L;
        for (long double v : m[static_cast<std::size_t>(target)]) sum += v;
        const bnscore::Outcome outcome = model->ScoreOne(record, p);
        if (sum == 0.0L) {
          EXPECT_EQ(outcome.status, bnscore::kNoPositiveScore);
          ++zeroEvidence;
          continue;
        }
        ASSERT_EQ(outcome.status, bnscore::kScored);
        ExpectPosterior(p, m[static_cast<std::size_t>(target)], "target");

        // Every node's posterior for the first records (the enumeration makes
        // an observed node certain).
        if (queriedHere == 5) continue;
        std::vector<double> posteriors(cells);
        ASSERT_EQ(model->Query(record, every, posteriors), bnscore::kScored);
        std::size_t offset = 0;
        for (std::size_t i = 0; i < net.nodes.size(); ++i) {
          ExpectPosterior(std::span<const double>(posteriors).subspan(offset, m[i].size()), m[i],
                          net.nodes[i].name);
          offset += m[i].size();
        }
        ++queriedHere;
        ++queried;
      }
    }
  }
  EXPECT_GT(zeroEvidence, 0) << "no record's evidence had probability zero";
  EXPECT_GE(queried, 5 * 10);
}

}  // namespace
