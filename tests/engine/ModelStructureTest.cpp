// Model::GetStructure and Model::Describe against a network drawn by hand
// (tests/data/structure_network.pmml, whose comment draws it): the arcs,
// the target's Markov blanket and the bins are written here from the
// drawing, not from the code. Also what `bnscore check` and `graph` show of
// it: the arcs the plug-in read, not a second reading of the document.

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "bnscore/bnscore.h"
#include "tests/cli/BnscoreProcess.h"

namespace {

const std::string kData = BNSCORE_TEST_DATA "/";
const std::string kPlugin = BNSCORE_LIB_DIR "/libbayesnet.so";

std::unique_ptr<bnscore::Model> LoadStructureNetwork() {
  bnscore::LoadOptions options;
  options.plugin = kPlugin;
  return bnscore::Model::Load(kData + "structure_network.pmml", options);
}

std::vector<std::string> ArcTexts(const bnscore::Structure& structure) {
  std::vector<std::string> texts;
  for (const bnscore::Arc& arc : structure.arcs) texts.push_back(arc.parent + "->" + arc.child);
  return texts;
}

TEST(ModelStructureTest, ArcsBlanketAndBinsAsDrawn) {
  const auto model = LoadStructureNetwork();
  const bnscore::Structure structure = model->GetStructure();

  // t -> a stated twice counts once; "d; t;<TAB>yes" is no arc; b_bin is
  // named by its data field b.
  EXPECT_EQ(ArcTexts(structure), (std::vector<std::string>{"t->a", "c->a", "t->b", "d->c"}));
  EXPECT_EQ(structure.markovBlanket, (std::vector<std::string>{"a", "b", "c"}));
  EXPECT_EQ(structure.sourceModelType, "");
  EXPECT_EQ(structure.sourceInferenceMethod, "");

  ASSERT_EQ(structure.binnedFields.size(), 1u);
  const bnscore::BinnedField& b = structure.binnedFields[0];
  EXPECT_EQ(structure.FindBinned("b"), &b);
  EXPECT_EQ(structure.FindBinned("b_bin"), nullptr);
  EXPECT_EQ(b.derivedField, "b_bin");
  ASSERT_TRUE(b.discretized);
  ASSERT_EQ(b.bins.size(), 3u);
  // low (-inf, 1]
  EXPECT_EQ(b.bins[0].category, "low");
  EXPECT_FALSE(b.bins[0].left.has_value());
  EXPECT_EQ(b.bins[0].right, 1.0);
  EXPECT_TRUE(b.bins[0].closedRight);
  // mid (1, 5)
  EXPECT_EQ(b.bins[1].category, "mid");
  EXPECT_EQ(b.bins[1].left, 1.0);
  EXPECT_EQ(b.bins[1].right, 5.0);
  EXPECT_FALSE(b.bins[1].closedLeft);
  EXPECT_FALSE(b.bins[1].closedRight);
  // high [5, +inf)
  EXPECT_EQ(b.bins[2].category, "high");
  EXPECT_EQ(b.bins[2].left, 5.0);
  EXPECT_TRUE(b.bins[2].closedLeft);
  EXPECT_FALSE(b.bins[2].right.has_value());

  const bnscore::ModelDescription description = model->Describe();
  EXPECT_TRUE(description.bayesNet);
  EXPECT_EQ(description.version, "1.0");
  ASSERT_TRUE(description.target.has_value());
  EXPECT_EQ(description.target->name, "t");
  EXPECT_EQ(description.target->categories, (std::vector<std::string>{"yes", "no"}));
  std::vector<std::string> inputs;
  for (const bnscore::Variable& var : description.inputs) inputs.push_back(var.name);
  EXPECT_EQ(inputs, (std::vector<std::string>{"a", "b", "c", "d"}));
  EXPECT_TRUE(description.inputs[1].numeric);
  EXPECT_EQ(description.inputs[1].measure, bnscore::Measure::kContinuous);
  ASSERT_EQ(description.derived.size(), 1u);
  EXPECT_EQ(description.derived[0].binsOf, "b");
  EXPECT_EQ(description.derived[0].bins.size(), 3u);
  EXPECT_EQ(description.predictors, (std::vector<std::string>{"a", "b", "c", "d"}));
}

// The target's posterior does not depend on d given its blanket: the row
// that reads "d -> t" to a reader that trims tabs is not scored.
TEST(ModelStructureTest, TheArcTheModelIgnoresIsNotScored) {
  const auto model = LoadStructureNetwork();
  std::vector<double> pu(2), pv(2);
  bnscore::NamedCell u[] = {{"a", bnscore::Cell::Of("r")},
                            {"b", bnscore::Cell::Of(3.0)},
                            {"c", bnscore::Cell::Of("p")},
                            {"d", bnscore::Cell::Of("u")}};
  bnscore::NamedCell v[] = {{"a", bnscore::Cell::Of("r")},
                            {"b", bnscore::Cell::Of(3.0)},
                            {"c", bnscore::Cell::Of("p")},
                            {"d", bnscore::Cell::Of("v")}};
  EXPECT_EQ(model->ScoreOne(u, pu).status, bnscore::kScored);
  EXPECT_EQ(model->ScoreOne(v, pv).status, bnscore::kScored);
  // P(t=yes | a=r, b mid, c=p) = .3*.9*.3 / (.3*.9*.3 + .7*.2*.3)
  const double yes = 0.3 * 0.9 * 0.3 / (0.3 * 0.9 * 0.3 + 0.7 * 0.2 * 0.3);
  EXPECT_NEAR(pu[0], yes, 1e-12);
  EXPECT_EQ(pu, pv);
}

TEST(ModelStructureTest, CheckAndGraphShowThePluginsArcs) {
  const std::string model = kData + "structure_network.pmml";
  testprocess::Outcome run = RunBnscore({"check", model});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("  b_bin (string, categorical) bins b: low <= 1 < mid < 5 <= high\n"
                         "arcs (4):\n"
                         "  t -> a\n"
                         "  c -> a\n"
                         "  t -> b\n"
                         "  d -> c\n"
                         "Markov blanket of t (3): a, b, c\n"),
            std::string::npos)
      << run.out;
  run = RunBnscore({"graph", model});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out.find("\"d\" -> \"t\""), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("  \"d\" [label=\"d\\nu | v\"];\n"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("  \"b\" [label=\"b\\nbins (b_bin):\\nlow <= 1 < mid < 5 <= high\", "
                         "fillcolor=\"#bdd7ee\"];\n"),
            std::string::npos)
      << run.out;
}

}  // namespace
