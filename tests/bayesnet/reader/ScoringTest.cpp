// Whole documents read and scored. plugin_network.pmml: the target risk
// (low, high) has the parent region; its children are rooms (categorical
// numeric 1, 2, 3), age (binned at 30 and 50 by ageBin) and income (binned
// at 40000 by incomeBand). incomeBand is also a derived predictor, valued
// by the transformation dictionary from income.
//
//   P(risk | region):  north 0.8 0.2    south 0.4 0.6
//   P(rooms | risk):   low 0.5 0.3 0.2  high 0.1 0.3 0.6
//   P(ageBin | risk):  low 0.2 0.5 0.3  high 0.6 0.3 0.1
//   P(income | risk):  low 0.3 0.7      high 0.9 0.1
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "bayesnet/GiveMyTranslator.h"
#include "bayesnet/reader/BayesNetTranslator.h"
#include "bayesnet/result/BayesNetClsResult.h"
#include "host/data/BaseCaseRecord.h"
#include "host/xml/PmmlParser.h"
#include "host/xml/XmlPlatform.h"
#include "tests/bayesnet/reader/PluginTestSupport.h"

namespace {

constexpr double kTolerance = 1e-12;

struct Scored {
  MCScore::MCStatus status;
  std::string prediction;
  double confidence = 0.0;
  std::vector<std::pair<std::string, double>> percents;
};

Scored Score(ScoreModel& model, const BaseCaseRecord& record) {
  ScoreResult* raw = nullptr;
  Scored scored;
  scored.status = model.GetScore(&record, raw, false);
  std::unique_ptr<ScoreResult> result(raw);
  auto* cls = dynamic_cast<BayesNetClsResult*>(result.get());
  if (cls == nullptr) {
    ADD_FAILURE() << "no classification result";
    return scored;
  }
  scored.prediction = cls->GetPrediction()->GetString();
  scored.confidence = cls->GetConfidence();
  for (const auto& [value, percent] : cls->GetAllValuePercent()) {
    scored.percents.emplace_back(value->GetString(), percent);
  }
  return scored;
}

// A record of region, rooms, age and income, by name or by position.
std::unique_ptr<BaseCaseRecord> Record(bool indexed, const std::string& region, double rooms,
                                       double age, double income) {
  auto record = std::make_unique<BaseCaseRecord>(
      std::vector<std::string>{"region", "rooms", "age", "income"}, indexed);
  record->SetText(0, region);
  record->SetNumber(1, rooms);
  record->SetNumber(2, age);
  record->SetNumber(3, income);
  return record;
}

TEST(ScoringTest, NetworkPosteriors) {
  std::unique_ptr<BayesNetModel> model = ReadModel("plugin_network.pmml");
  ASSERT_NE(model, nullptr);
  for (bool indexed : {false, true}) {
    SCOPED_TRACE(indexed ? "by position" : "by name");
    // north, rooms 2 (code 1), age 40 (bin 1), income 50000 (bin 1, "high"):
    //   low:  0.8 * 0.5 * 0.7 * 0.3 = 0.084
    //   high: 0.2 * 0.3 * 0.1 * 0.3 = 0.0018     sum 0.0858
    Scored first = Score(*model, *Record(indexed, "north", 2, 40, 50000));
    EXPECT_TRUE(first.status.IsSuccess());
    EXPECT_EQ(first.prediction, "low");
    EXPECT_NEAR(first.confidence, 0.084 / 0.0858, kTolerance);
    ASSERT_EQ(first.percents.size(), 2u);
    EXPECT_EQ(first.percents[0].first, "low");
    EXPECT_NEAR(first.percents[0].second, 0.084 / 0.0858, kTolerance);
    EXPECT_EQ(first.percents[1].first, "high");
    EXPECT_NEAR(first.percents[1].second, 0.0018 / 0.0858, kTolerance);

    // south, rooms 3 (code 2), age 30 (bin 0: bins are closed on the
    // right), income 30000 (bin 0, "low"):
    //   low:  0.4 * 0.2 * 0.3 * 0.2 = 0.0048
    //   high: 0.6 * 0.6 * 0.9 * 0.6 = 0.1944     sum 0.1992
    Scored second = Score(*model, *Record(indexed, "south", 3, 30, 30000));
    EXPECT_TRUE(second.status.IsSuccess());
    EXPECT_EQ(second.prediction, "high");
    EXPECT_NEAR(second.confidence, 0.1944 / 0.1992, kTolerance);
    EXPECT_NEAR(second.percents[0].second, 0.0048 / 0.1992, kTolerance);
  }
}

TEST(TranslatorTest, LifecycleAndOwnership) {
  XmlPlatform platform;
  std::unique_ptr<ScoreTranslator> first(GiveMyTranslator());
  std::unique_ptr<ScoreTranslator> second(GiveMyTranslator());
  ASSERT_NE(first, nullptr);
  EXPECT_NE(first.get(), second.get());
  auto* translator = dynamic_cast<BayesNetTranslator*>(first.get());
  ASSERT_NE(translator, nullptr);
  EXPECT_EQ(translator->GetModel(), nullptr);

  // A rejected document leaves nothing behind; the translator reads on.
  DocumentPtr bad = PmmlParser::ParseFile(DataPath("plugin_fault_loop.pmml"));
  EXPECT_THROW(translator->ParseFromTree(bad.get(), ""), VkException);
  EXPECT_EQ(translator->GetModel(), nullptr);

  DocumentPtr good = PmmlParser::ParseFile(DataPath("plugin_network.pmml"));
  std::unique_ptr<ScoreModel> model(translator->ParseFromTree(good.get(), ""));
  ASSERT_NE(model, nullptr);
  EXPECT_EQ(translator->GetModel(), model.get());

  // The model outlives the translator and the document.
  first.reset();
  good.reset();
  Scored scored = Score(*model, *Record(false, "north", 2, 40, 50000));
  EXPECT_TRUE(scored.status.IsSuccess());
  EXPECT_NEAR(scored.confidence, 0.084 / 0.0858, kTolerance);
}

}  // namespace
