// Exact inference with gaps, queries and explanations, against an
// enumeration of the full joint distribution of small random networks: the
// product of every node's table, summed over every assignment of the nodes
// a record does not give.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "testing/GeneratorOptions.h"
#include "testing/ModelGenerator.h"
#include "bnscore/bnscore.h"

using namespace bnscore::testing;

namespace {

const std::string kPlugin = BNSCORE_LIB_DIR "/libbayesnet.so";

bool SameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

void ExpectClose(double actual, double expected, const std::string& what) {
  EXPECT_LE(std::fabs(actual - expected), 1e-12 * std::fabs(expected)) << what;
}

// The generated network read back as its tables: for each node, its
// probability of each code given each configuration of its parents.
class Enumeration {
 public:
  explicit Enumeration(const ModelGenerator& generator) : nodes_(generator.GetNodes()) {
    const bool adjusted = generator.GetOptions().method == LearningMethod::AdjustedBayes;
    for (std::size_t n = 0; n < nodes_.size(); ++n) {
      const GeneratedNode& node = nodes_[n];
      std::size_t configs = 1;
      for (int parent : node.parents)
        configs *= static_cast<std::size_t>(nodes_[parent].categories);
      // A configuration the table leaves out: uniform under AdjustedBayes, else 0.
      tables_.emplace_back(configs * static_cast<std::size_t>(node.categories),
                           adjusted ? 1.0 / node.categories : 0.0);
      for (const GeneratedRow& row : generator.GetTable(static_cast<int>(n))) {
        std::size_t config = 0;
        for (std::size_t j = 0; j < node.parents.size(); ++j) {
          config = config * static_cast<std::size_t>(nodes_[node.parents[j]].categories) +
                   static_cast<std::size_t>(row.configuration[j]);
        }
        for (int x = 0; x < node.categories; ++x) {
          tables_[n][config * static_cast<std::size_t>(node.categories) + x] =
              row.millionths[static_cast<std::size_t>(x)] / 1e6;
        }
      }
    }
  }

  // P(node = x, evidence) for every node and x; evidence[n] < 0: node n
  // not given.
  std::vector<std::vector<double>> Joint(const std::vector<int>& evidence) const {
    std::vector<std::vector<double>> joint;
    for (const GeneratedNode& node : nodes_) {
      joint.emplace_back(static_cast<std::size_t>(node.categories), 0.0);
    }
    std::vector<int> codes(nodes_.size(), 0);
    for (;;) {
      bool consistent = true;
      for (std::size_t n = 0; n < nodes_.size() && consistent; ++n) {
        consistent = evidence[n] < 0 || evidence[n] == codes[n];
      }
      if (consistent) {
        double p = 1.0;
        for (std::size_t n = 0; n < nodes_.size(); ++n) {
          std::size_t config = 0;
          for (int parent : nodes_[n].parents) {
            config = config * static_cast<std::size_t>(nodes_[parent].categories) +
                     static_cast<std::size_t>(codes[static_cast<std::size_t>(parent)]);
          }
          p *= tables_[n][config * static_cast<std::size_t>(nodes_[n].categories) +
                          static_cast<std::size_t>(codes[n])];
        }
        for (std::size_t n = 0; n < nodes_.size(); ++n) {
          joint[n][static_cast<std::size_t>(codes[n])] += p;
        }
      }
      std::size_t n = 0;
      for (; n < nodes_.size(); ++n) {
        if (++codes[n] < nodes_[n].categories) break;
        codes[n] = 0;
      }
      if (n == nodes_.size()) return joint;
    }
  }

 private:
  const std::vector<GeneratedNode>& nodes_;
  std::vector<std::vector<double>> tables_;
};

// The record cell that a predictor's code `code` reads as.
bnscore::Cell CellFor(const GeneratedNode& node, int code) {
  if (node.kind == GeneratedNode::Binned) {
    return bnscore::Cell::Of(code == 0 ? node.cutPoints[0] - 1.0 : node.cutPoints[code - 1] + 1.0);
  }
  return bnscore::Cell::Of(std::string_view(node.values[static_cast<std::size_t>(code)]));
}

GeneratorOptions Network(std::uint64_t seed, LearningMethod method, double missingConfigurations) {
  GeneratorOptions options;
  options.seed = seed;
  options.binnedPredictors = 2 + static_cast<int>(seed % 3);
  options.numericPredictors = 2 + static_cast<int>(seed % 2);
  options.stringPredictors = 2 + static_cast<int>(seed % 4);
  options.bins = 3;
  options.categories = 2 + static_cast<int>(seed % 2);
  options.targetCategories = 3;
  options.structure = ArcPattern::General;
  options.maxParents = 3;
  options.method = method;
  options.missingConfigurations = missingConfigurations;
  return options;
}

// The reasons of `record` add up to the log-odds of the most probable of
// `probabilities` (proportional to the posterior) over the second, and
// come largest first.
void CheckReasons(const bnscore::Model& model, const std::vector<bnscore::NamedCell>& record,
                  const std::vector<double>& probabilities) {
  std::vector<bnscore::Reason> reasons;
  ASSERT_EQ(model.Explain(record, 1000, reasons).status, bnscore::kScored);
  std::size_t first = 0;
  for (std::size_t c = 1; c < probabilities.size(); ++c) {
    if (probabilities[c] > probabilities[first]) first = c;
  }
  std::size_t second = first == 0 ? 1 : 0;
  for (std::size_t c = 0; c < probabilities.size(); ++c) {
    if (c != first && probabilities[c] > probabilities[second]) second = c;
  }
  const double logOdds = std::log(probabilities[first]) - std::log(probabilities[second]);
  double terms = 0.0;
  for (std::size_t i = 0; i < reasons.size(); ++i) {
    terms += reasons[i].logOdds;
    if (i > 0) {
      EXPECT_GE(reasons[i - 1].logOdds, reasons[i].logOdds);
    }
  }
  if (std::isinf(logOdds)) {  // the runner-up has probability zero
    EXPECT_EQ(terms, logOdds);
  } else {
    EXPECT_NEAR(terms, logOdds, 1e-12 * std::max(1.0, std::fabs(logOdds)));
  }
}

// Scores, queries and explains random records with random gaps on one
// network and compares everything with the enumeration. With `innerGapsOnly`
// only nodes with children lose their value (so that no node is barren:
// tables whose rows do not add up to one are then still compared exactly).
void CheckNetwork(const GeneratorOptions& options, bool innerGapsOnly, int& zeroEvidence) {
  SCOPED_TRACE("seed " + std::to_string(options.seed));
  const ModelGenerator generator(options);
  const std::vector<GeneratedNode>& nodes = generator.GetNodes();
  const Enumeration enumeration(generator);
  bnscore::LoadOptions load;
  load.plugin = kPlugin;
  load.missing = bnscore::MissingValues::kMarginalize;
  const auto model = bnscore::Model::LoadText(generator.Pmml(), load);
  load.missing = bnscore::MissingValues::kStop;
  const auto plain = bnscore::Model::LoadText(generator.Pmml(), load);

  const int target = generator.GetTargetIndex();
  // The API's nodes by generator index; the target's categories in order.
  std::vector<int> apiNode(nodes.size());
  for (std::size_t n = 0; n < nodes.size(); ++n) {
    apiNode[n] = model->FindNode(nodes[n].name);
    ASSERT_GE(apiNode[n], 0) << nodes[n].name;
  }
  ASSERT_EQ(apiNode[static_cast<std::size_t>(target)], 0);
  ASSERT_EQ(model->GetSchema().categories, nodes.back().values);
  std::vector<char> hasChild(nodes.size(), 0);
  for (const GeneratedNode& node : nodes) {
    for (int parent : node.parents) hasChild[static_cast<std::size_t>(parent)] = 1;
  }

  std::mt19937_64 random(options.seed);
  const std::size_t k =
      static_cast<std::size_t>(nodes[static_cast<std::size_t>(target)].categories);
  std::vector<double> probabilities(k);
  std::vector<double> plainProbabilities(k);
  for (int r = 0; r < 25; ++r) {
    SCOPED_TRACE("record " + std::to_string(r));
    std::vector<int> evidence(nodes.size(), -1);
    std::vector<bnscore::NamedCell> record;
    bool complete = true;
    for (std::size_t n = 0; n < nodes.size(); ++n) {
      if (static_cast<int>(n) == target) continue;
      const bool canGo = !innerGapsOnly || hasChild[n] != 0;
      if (r % 5 != 0 && canGo && random() % 5 < 2) {  // a gap
        complete = false;
        continue;
      }
      evidence[n] = static_cast<int>(random() % static_cast<std::uint64_t>(nodes[n].categories));
      record.push_back({nodes[n].name, CellFor(nodes[n], evidence[n])});
    }

    const bnscore::Outcome outcome = model->ScoreOne(record, probabilities);
    const bnscore::Outcome today = plain->ScoreOne(record, plainProbabilities);
    const std::vector<std::vector<double>> all = enumeration.Joint(evidence);
    const std::vector<double>& joint = all[static_cast<std::size_t>(target)];
    double sum = 0.0;
    for (double p : joint) sum += p;
    if (complete) {  // today's path, today's bits
      ASSERT_EQ(outcome.status, today.status);
      for (std::size_t c = 0; c < k; ++c) {
        EXPECT_TRUE(SameBits(probabilities[c], plainProbabilities[c]));
      }
      // Explained by the blanket's factors, whatever the rest says.
      if (today.status == bnscore::kScored) CheckReasons(*model, record, plainProbabilities);
      // Today's path reads the blanket alone, which only a network of
      // proper conditional tables makes the whole joint's answer.
      if (innerGapsOnly) continue;
    } else {
      EXPECT_EQ(today.status, bnscore::kMissingPredictor);
    }
    if (sum <= 0.0) {
      EXPECT_EQ(outcome.status, bnscore::kNoPositiveScore);
      ++zeroEvidence;
      continue;
    }
    ASSERT_EQ(outcome.status, bnscore::kScored);
    for (std::size_t c = 0; c < k; ++c) {
      ExpectClose(probabilities[c], joint[c] / sum, "category " + std::to_string(c));
    }

    // Every node's posterior; an observed node's is certain.
    std::vector<int> every(apiNode.begin(), apiNode.end());
    std::size_t total = 0;
    for (const GeneratedNode& node : nodes) total += static_cast<std::size_t>(node.categories);
    std::vector<double> posteriors(total);
    ASSERT_EQ(model->Query(record, every, posteriors), bnscore::kScored);
    std::size_t offset = 0;
    for (std::size_t n = 0; n < nodes.size(); ++n) {
      const std::vector<double>& expected = all[n];
      double nodeSum = 0.0;
      for (double p : expected) nodeSum += p;
      for (std::size_t x = 0; x < expected.size(); ++x) {
        const double want = evidence[n] >= 0 ? (static_cast<int>(x) == evidence[n] ? 1.0 : 0.0)
                                             : expected[x] / nodeSum;
        ExpectClose(posteriors[offset + x], want, nodes[n].name + " = " + std::to_string(x));
      }
      offset += expected.size();
    }

    // The reasons add up to the log-odds of the first over the second.
    CheckReasons(*model, record, joint);
  }
}

TEST(InferenceTest, GapsQueriesAndReasonsAgreeWithTheEnumeration) {
  int zeroEvidence = 0;
  for (std::uint64_t seed = 1; seed <= 6; ++seed) {
    CheckNetwork(Network(seed, LearningMethod::MaxLikelihood, 0.0), false, zeroEvidence);
    CheckNetwork(Network(seed + 10, LearningMethod::AdjustedBayes, 0.3), false, zeroEvidence);
  }
  EXPECT_EQ(zeroEvidence, 0);
  // Rows left out of the tables score 0 without AdjustedBayes: records whose
  // evidence has probability zero get kNoPositiveScore.
  for (std::uint64_t seed = 21; seed <= 24; ++seed) {
    CheckNetwork(Network(seed, LearningMethod::MaxLikelihood, 0.4), true, zeroEvidence);
  }
  EXPECT_GT(zeroEvidence, 0);
}

// Columns with gaps go through the column scoring and then, for the rows
// with gaps, through the record: the same bits as ScoreOne. A value no
// category has stops the record unless it counts as missing, and then
// scores as an empty cell does.
TEST(InferenceTest, ColumnsUnknownValuesAndOptionsAgree) {
  GeneratorOptions options = Network(3, LearningMethod::MaxLikelihood, 0.0);
  const ModelGenerator generator(options);
  const std::vector<GeneratedNode>& nodes = generator.GetNodes();
  bnscore::LoadOptions load;
  load.plugin = kPlugin;
  load.missing = bnscore::MissingValues::kMarginalize;
  const auto stop = bnscore::Model::LoadText(generator.Pmml(), load);
  load.unknown = bnscore::UnknownValues::kMissing;
  const auto lenient = bnscore::Model::LoadText(generator.Pmml(), load);
  const std::size_t k = stop->GetSchema().categories.size();

  constexpr std::size_t kRows = 40;
  std::mt19937_64 random(7);
  std::vector<std::vector<std::string>> texts(nodes.size() - 1, std::vector<std::string>(kRows));
  std::vector<std::vector<std::string_view>> views(nodes.size() - 1);
  std::vector<std::vector<double>> numbers(nodes.size() - 1);
  std::vector<std::vector<std::uint8_t>> masks(nodes.size() - 1);
  std::vector<bnscore::Column> columns;
  for (std::size_t n = 0; n + 1 < nodes.size(); ++n) {
    for (std::size_t r = 0; r < kRows; ++r) {
      const int code = static_cast<int>(random() % static_cast<std::uint64_t>(nodes[n].categories));
      const bnscore::Cell cell = CellFor(nodes[n], code);
      numbers[n].push_back(cell.number);
      texts[n][r] = std::string(cell.text);
      masks[n].push_back(random() % 6 == 0 ? 1 : 0);
    }
    for (const std::string& text : texts[n]) views[n].push_back(text);
    columns.push_back(nodes[n].kind == GeneratedNode::Binned
                          ? bnscore::Column::Numbers(nodes[n].name, numbers[n], masks[n])
                          : bnscore::Column::Texts(nodes[n].name, views[n], masks[n]));
  }
  std::vector<std::int32_t> status(kRows), prediction(kRows);
  std::vector<double> confidence(kRows), probabilities(kRows * k);
  stop->Score(columns, kRows, {status, prediction, confidence, probabilities});
  std::vector<double> one(k);
  int gaps = 0;
  for (std::size_t r = 0; r < kRows; ++r) {
    std::vector<bnscore::NamedCell> record;
    for (std::size_t n = 0; n + 1 < nodes.size(); ++n) {
      if (masks[n][r] != 0) {
        ++gaps;
        continue;
      }
      record.push_back({nodes[n].name, nodes[n].kind == GeneratedNode::Binned
                                           ? bnscore::Cell::Of(numbers[n][r])
                                           : bnscore::Cell::Of(views[n][r])});
    }
    const bnscore::Outcome outcome = stop->ScoreOne(record, one);
    ASSERT_EQ(outcome.status, status[r]);
    ASSERT_EQ(outcome.status, bnscore::kScored);
    for (std::size_t c = 0; c < k; ++c) EXPECT_TRUE(SameBits(one[c], probabilities[r * k + c]));

    // The first string field's value replaced by one no category has.
    std::vector<bnscore::NamedCell> unknown = record;
    std::vector<bnscore::NamedCell> blank = record;
    for (std::size_t i = 0; i < record.size(); ++i) {
      if (record[i].cell.kind != bnscore::Cell::Kind::kText) continue;
      unknown[i].cell = bnscore::Cell::Of("no such category");
      blank.erase(blank.begin() + static_cast<std::ptrdiff_t>(i));
      break;
    }
    std::vector<double> viaUnknown(k), viaBlank(k);
    EXPECT_EQ(stop->ScoreOne(unknown, viaUnknown).status, bnscore::kMissingPredictor);
    ASSERT_EQ(lenient->ScoreOne(unknown, viaUnknown).status, bnscore::kScored);
    ASSERT_EQ(lenient->ScoreOne(blank, viaBlank).status, bnscore::kScored);
    for (std::size_t c = 0; c < k; ++c) EXPECT_TRUE(SameBits(viaUnknown[c], viaBlank[c]));
  }
  EXPECT_GT(gaps, 0);
}

// Threads that share a model (its network, its cache of plans) and compile
// plans at the same time give what one thread gives.
TEST(InferenceTest, ThreadsShareTheModel) {
  const ModelGenerator generator(Network(5, LearningMethod::AdjustedBayes, 0.2));
  const std::vector<GeneratedNode>& nodes = generator.GetNodes();
  bnscore::LoadOptions load;
  load.plugin = kPlugin;
  load.missing = bnscore::MissingValues::kMarginalize;
  const auto model = bnscore::Model::LoadText(generator.Pmml(), load);
  const std::size_t k = model->GetSchema().categories.size();
  constexpr std::size_t kRecords = 300;
  std::mt19937_64 random(11);
  std::vector<std::vector<bnscore::NamedCell>> records(kRecords);
  for (std::vector<bnscore::NamedCell>& record : records) {
    for (std::size_t n = 0; n + 1 < nodes.size(); ++n) {
      if (random() % 3 == 0) continue;
      const int code = static_cast<int>(random() % static_cast<std::uint64_t>(nodes[n].categories));
      record.push_back({nodes[n].name, CellFor(nodes[n], code)});
    }
  }
  auto scoreAll = [&](std::vector<double>& out) {
    out.assign(kRecords * k, 0.0);
    for (std::size_t r = 0; r < kRecords; ++r) {
      model->ScoreOne(records[r], std::span<double>(out).subspan(r * k, k));
    }
  };
  std::vector<std::vector<double>> results(4);
  std::vector<std::thread> threads;
  for (std::size_t t = 0; t < results.size(); ++t) {
    threads.emplace_back(scoreAll, std::ref(results[t]));
  }
  for (std::thread& thread : threads) thread.join();
  std::vector<double> alone;
  scoreAll(alone);
  for (const std::vector<double>& result : results) {
    EXPECT_EQ(std::memcmp(result.data(), alone.data(), alone.size() * sizeof(double)), 0);
  }
}

}  // namespace
