// The benchmark generator: deterministic documents and records, and
// well-formed tables (every shape is read and scored in
// tests/engine/ColumnScoringTest.cpp).

#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "testing/GeneratorOptions.h"
#include "testing/ModelGenerator.h"
#include "testing/RecordGenerator.h"

using namespace bnscore::testing;

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
  o.structure = ArcPattern::General;
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

}  // namespace
