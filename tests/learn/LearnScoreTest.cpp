#include <array>
#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "bnscore/bnscore.h"
#include "bnscore/learn.h"

namespace {

const std::string kPlugin = BNSCORE_LIB_DIR "/libbayesnet.so";

struct Case {
  std::string t, a, b;
  double x;
};

// Training data with a numeric column x that separates the classes at 3.5
// (so MDL cuts there) and no row with t = n and a = s.
const std::vector<Case> kTraining = {
    {"y", "r", "u", 1},   {"y", "s", "u", 2},   {"y", "s", "v", 3},   {"y", "r", "u", 1.5},
    {"y", "s", "u", 2.5}, {"y", "r", "v", 3},   {"n", "r", "v", 4},   {"n", "r", "v", 5},
    {"n", "r", "u", 6},   {"n", "r", "v", 4.5}, {"n", "r", "v", 5.5}, {"n", "r", "v", 6.5}};

std::string TrainingCsv() {
  std::string csv = "x,a,b,t\n";
  for (const Case& c : kTraining) {
    csv += std::to_string(c.x) + "," + c.a + "," + c.b + "," + c.t + "\n";
  }
  return csv;
}

// (N(match) + 0.5) / (N(given) + 0.5·states), counted here from the rows;
// 1/states when no row matches the condition.
template <class Given, class Match>
double Estimate(Given given, Match match, int states) {
  int n = 0, k = 0;
  for (const Case& c : kTraining) {
    if (!given(c)) continue;
    ++n;
    if (match(c)) ++k;
  }
  return n == 0 ? 1.0 / states : (k + 0.5) / (n + 0.5 * states);
}

std::array<double, 2> Score(const bnscore::Model& model, const Case& record) {
  const std::string x = std::to_string(record.x);
  const std::vector<bnscore::NamedCell> cells = {{"x", bnscore::Cell::Of(record.x)},
                                                 {"a", bnscore::Cell::Of(record.a)},
                                                 {"b", bnscore::Cell::Of(record.b)}};
  std::array<double, 2> probabilities{};
  const bnscore::Outcome outcome = model.ScoreOne(cells, probabilities);
  EXPECT_EQ(outcome.status, bnscore::kScored);
  return probabilities;
}

// Normalised products over the categories n, y (the sorted order).
std::array<double, 2> Normalise(double n, double y) { return {n / (n + y), y / (n + y)}; }

TEST(LearnAndScore, NaiveBayesScoresAsItsCounts) {
  bnscore::LearnOptions options;
  options.target = "t";
  const bnscore::LearnResult learned = bnscore::LearnFromText(TrainingCsv(), options);
  bnscore::LoadOptions load;
  load.plugin = kPlugin;
  const auto model = bnscore::Model::LoadText(learned.pmml, load);
  EXPECT_EQ(model->GetSchema().categories, (std::vector<std::string>{"n", "y"}));
  EXPECT_NE(learned.pmml.find("<ParameterLearning method=\"adjustedBayes\"/>"), std::string::npos);
  EXPECT_NE(learned.pmml.find(
                "<Learning structure=\"naive\" discretize=\"mdl\" alpha=\"0.5\" rows=\"12\"/>"),
            std::string::npos);
  EXPECT_NE(model->Display().find("x (numeric, continuous)"), std::string::npos);

  for (const Case& record : {Case{"", "s", "v", 3.5}, Case{"", "r", "u", 3.6},
                             Case{"", "r", "v", -100}, Case{"", "s", "u", 1e9}}) {
    auto factor = [&](const std::string& t) {
      const bool low = record.x <= 3.5;
      return Estimate([&](const Case& c) { return c.t == t; }, [](const Case&) { return true; },
                      2) *
             Estimate([&](const Case& c) { return c.t == t; },
                      [&](const Case& c) { return (c.x <= 3.5) == low; }, 2) *
             Estimate([&](const Case& c) { return c.t == t; },
                      [&](const Case& c) { return c.a == record.a; }, 2) *
             Estimate([&](const Case& c) { return c.t == t; },
                      [&](const Case& c) { return c.b == record.b; }, 2);
    };
    const std::array<double, 2> expected = Normalise(factor("n"), factor("y"));
    const std::array<double, 2> got = Score(*model, record);
    EXPECT_NEAR(got[0], expected[0], 1e-12) << record.a << record.b << record.x;
    EXPECT_NEAR(got[1], expected[1], 1e-12);
  }
}

// With two predictors besides x the tree is decided by the data; scored
// through the Markov blanket with P(b | t, a) where b's parent is a, the
// configuration (n, s) unseen and so uniform.
TEST(LearnAndScore, TanScoresAsItsCountsWithAnUnseenConfigurationUniform) {
  bnscore::LearnOptions options;
  options.target = "t";
  options.structure = "tan";
  std::string csv = "a,b,t\n";
  for (const Case& c : kTraining) csv += c.a + "," + c.b + "," + c.t + "\n";
  const bnscore::LearnResult learned = bnscore::LearnFromText(csv, options);
  ASSERT_NE(learned.pmml.find("<row>a; b; yes</row>"), std::string::npos) << learned.pmml;
  bnscore::LoadOptions load;
  load.plugin = kPlugin;
  const auto model = bnscore::Model::LoadText(learned.pmml, load);
  for (const Case& record : {Case{"", "s", "v", 0}, Case{"", "r", "u", 0}}) {
    auto factor = [&](const std::string& t) {
      return Estimate([&](const Case& c) { return c.t == t; }, [](const Case&) { return true; },
                      2) *
             Estimate([&](const Case& c) { return c.t == t; },
                      [&](const Case& c) { return c.a == record.a; }, 2) *
             Estimate([&](const Case& c) { return c.t == t && c.a == record.a; },
                      [&](const Case& c) { return c.b == record.b; }, 2);
    };
    const std::array<double, 2> expected = Normalise(factor("n"), factor("y"));
    const std::vector<bnscore::NamedCell> cells = {{"a", bnscore::Cell::Of(record.a)},
                                                   {"b", bnscore::Cell::Of(record.b)}};
    std::array<double, 2> got{};
    EXPECT_EQ(model->ScoreOne(cells, got).status, bnscore::kScored);
    EXPECT_NEAR(got[0], expected[0], 1e-12) << record.a << record.b;
    EXPECT_NEAR(got[1], expected[1], 1e-12);
  }
}

}  // namespace
