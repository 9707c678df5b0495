// The benchmark generator: deterministic, well-formed tables, the shapes'
// sizes, and documents that the plug-in reads and scores as the generator
// means them.

#include <algorithm>
#include <cmath>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "bench/GeneratorOptions.h"
#include "bench/ModelGenerator.h"
#include "bench/RecordGenerator.h"
#include "bench/RecordTable.h"
#include "engine/LoadedModel.h"
#include "host/interfaces/ScoreResult.h"
#include "host/xml/XmlPlatform.h"

namespace {

GeneratorOptions Mixed(std::uint64_t seed) {
  GeneratorOptions o;
  o.binnedPredictors = 3;
  o.numericPredictors = 3;
  o.stringPredictors = 3;
  o.derivedPredictors = 2;
  o.categories = 3;
  o.bins = 4;
  o.targetCategories = 3;
  o.structure = NetworkStructure::General;
  o.maxParents = 3;
  o.seed = seed;
  return o;
}

std::string Records(const ModelGenerator& model, const RecordOptions& options, int count) {
  std::ostringstream out;
  RecordGenerator records(model, options);
  records.WriteHeader(out);
  records.WriteRecords(out, count);
  return out.str();
}

// The numbers of every <row> of the document, parent values dropped.
std::vector<std::vector<double>> DocumentRows(const ModelGenerator& model) {
  std::vector<std::vector<double>> rows;
  const std::string text = model.Pmml();
  for (const GeneratedNode& node : model.GetNodes()) {
    if (!node.inNetwork) continue;
    const std::string open = "<ConditionalTable fieldName=\"" + node.name + "\"";
    std::size_t at = text.find(open);
    const std::size_t end = text.find("</ConditionalTable>", at);
    while ((at = text.find("<row totalN=", at)) < end) {
      at = text.find('>', at) + 1;
      std::string cells = text.substr(at, text.find('<', at) - at);
      std::vector<double> numbers;
      std::istringstream in(cells);
      std::string cell;
      for (std::size_t k = 0; std::getline(in, cell, ';'); ++k) {
        if (k >= node.parents.size()) numbers.push_back(std::stod(cell));
      }
      rows.push_back(numbers);
    }
  }
  return rows;
}

TEST(ModelGenerator, SameSeedSameTextOtherSeedOtherText) {
  const ModelGenerator a(Mixed(7)), b(Mixed(7)), c(Mixed(8));
  EXPECT_EQ(a.Pmml(), b.Pmml());
  EXPECT_NE(a.Pmml(), c.Pmml());
  RecordOptions r;
  r.missingCells = 0.1;
  r.unknownValues = 0.1;
  EXPECT_EQ(Records(a, r, 50), Records(b, r, 50));
  r.seed = 3;
  EXPECT_NE(Records(a, r, 50), Records(b, RecordOptions(), 50));
}

TEST(ModelGenerator, EveryRowHoldsOneProbabilityPerCategorySummingToOne) {
  for (std::uint64_t seed = 1; seed <= 5; ++seed) {
    GeneratorOptions o = Mixed(seed);
    o.missingConfigurations = 0.3;
    const ModelGenerator model(o);
    const std::vector<std::vector<double>> rows = DocumentRows(model);
    ASSERT_EQ(static_cast<int>(rows.size()), model.GetTableRowCount());
    for (const std::vector<double>& row : rows) {
      double sum = 0.0;
      for (double p : row) {
        EXPECT_GT(p, 0.0);
        sum += p;
      }
      EXPECT_NEAR(sum, 1.0, 1e-12);
    }
    for (int n = 0; n <= model.GetTargetIndex(); ++n) {
      const GeneratedNode& node = model.GetNodes()[n];
      EXPECT_LE(node.parents.size(), 3u);
      for (const GeneratedRow& row : model.GetTable(n)) {
        EXPECT_EQ(static_cast<int>(row.millionths.size()), node.categories);
      }
    }
  }
}

TEST(ModelGenerator, MissingConfigurationsLeaveOutRowsOfNodesWithParents) {
  GeneratorOptions o;
  o.stringPredictors = 40;
  o.categories = 4;
  o.structure = NetworkStructure::TreeAugmented;
  const int full = ModelGenerator(o).GetTableRowCount();
  EXPECT_EQ(full, 1 + 2 + 39 * 2 * 4);  // target, tree root, the rest
  o.missingConfigurations = 0.5;
  const int half = ModelGenerator(o).GetTableRowCount();
  EXPECT_GT(half, full * 2 / 5);
  EXPECT_LT(half, full * 3 / 5);
  o.missingConfigurations = 1.0;
  EXPECT_EQ(ModelGenerator(o).GetTableRowCount(), 1);  // the parentless target's row
}

TEST(RecordGenerator, MissingAndUnknownCellsComeAtTheirRates) {
  const ModelGenerator model(Mixed(1));
  RecordOptions r;
  r.missingCells = 0.2;
  r.unknownValues = 0.25;  // of the cells that are not empty
  RecordGenerator records(model, r);
  ASSERT_EQ(records.GetFieldNames().size(), 11u);
  std::vector<std::string> cells;
  int empty = 0, unknown = 0, total = 0;
  for (int i = 0; i < 2000; ++i) {
    records.NextRecord(cells);
    for (const std::string& cell : cells) {
      ++total;
      empty += cell.empty();
      unknown += cell == "NA" || cell == "-1" || cell == "unknown";
    }
  }
  EXPECT_NEAR(static_cast<double>(empty) / total, 0.2, 0.02);
  EXPECT_NEAR(static_cast<double>(unknown) / total, 0.8 * 0.25, 0.02);
}

// The posterior the generator's own tables give for a naive-Bayes or
// tree-augmented network, from the record's cells.
std::vector<double> ExpectedPosterior(const ModelGenerator& model,
                                      const std::vector<std::string>& cells) {
  const std::vector<GeneratedNode>& nodes = model.GetNodes();
  const int target = model.GetTargetIndex();
  std::vector<int> codes(nodes.size(), 0);
  for (int n = 0; n < target; ++n) {
    const GeneratedNode& node = nodes[n];
    if (node.kind == GeneratedNode::Binned) {
      const double x = std::stod(cells[n]);
      while (codes[n] < static_cast<int>(node.cutPoints.size()) && node.cutPoints[codes[n]] < x) {
        ++codes[n];
      }
    } else if (node.kind != GeneratedNode::Derived) {
      while (node.values[codes[n]] != cells[n]) ++codes[n];
    }
  }
  auto factor = [&](int n) {
    std::vector<int> configuration;
    for (int parent : nodes[n].parents) configuration.push_back(codes[parent]);
    for (const GeneratedRow& row : model.GetTable(n)) {
      if (row.configuration == configuration) return row.millionths[codes[n]] / 1e6;
    }
    return 0.0;
  };
  std::vector<double> posterior;
  double sum = 0.0;
  for (int c = 0; c < nodes[target].categories; ++c) {
    codes[target] = c;
    double p = factor(target);
    for (int n = 0; n < target; ++n) {
      const std::vector<int>& parents = nodes[n].parents;
      if (std::find(parents.begin(), parents.end(), target) != parents.end()) p *= factor(n);
    }
    posterior.push_back(p);
    sum += p;
  }
  for (double& p : posterior) p /= sum;
  return posterior;
}

class GeneratedModelScores : public ::testing::Test {
 protected:
  XmlPlatform platform_;
};

TEST_F(GeneratedModelScores, EveryShapeReadsAndScoresAsTheGeneratorMeansIt) {
  for (const ShapePreset& preset : ShapePresets()) {
    SCOPED_TRACE(preset.name);
    const ModelGenerator generated(preset.options);
    const std::unique_ptr<LoadedModel> loaded =
        LoadedModel::LoadText(BNSCORE_LIB_DIR "/libbayesnet.so", generated.Pmml(), preset.name);
    ScoreModel& model = loaded->GetModel();
    RecordGenerator records(generated, RecordOptions());
    RecordTable table(model, records.GetFieldNames(), true, false);
    std::vector<std::string> cells;
    ScoreResult* result = nullptr;
    for (int i = 0; i < 50; ++i) {
      records.NextRecord(cells);
      table.Add(cells);
      ASSERT_EQ(model.GetScore(table.Get(i), result, false).GetCode(), 0);
      if (preset.options.structure == NetworkStructure::General) continue;
      ASSERT_EQ(result->GetScoreResultType(), ScoreResult::BayesNetClassification);
      const auto& percents = static_cast<ScoreClsResult*>(result)->GetAllValuePercent();
      const std::vector<double> expected = ExpectedPosterior(generated, cells);
      ASSERT_EQ(percents.size(), expected.size());
      for (std::size_t c = 0; c < expected.size(); ++c) {
        EXPECT_NEAR(percents[c].second, expected[c], 1e-9 * (1 + expected[c]));
      }
    }
    delete result;
  }
}

}  // namespace
