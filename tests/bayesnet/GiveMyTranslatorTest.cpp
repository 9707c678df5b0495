// The plug-in as the host sees it: loaded by the engine's PluginLibrary
// (dlopen, the factory found by its plain name), and everything else
// reached through the host interfaces.
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "engine/PluginLibrary.h"
#include "host/data/BaseCaseRecord.h"
#include "host/interfaces/ScoreResult.h"
#include "host/interfaces/ScoreTranslator.h"
#include "host/xml/XmlPlatform.h"

namespace {

TEST(GiveMyTranslatorTest, FoundByPlainNameAndModelOutlivesTranslator) {
  XmlPlatform platform;
  std::unique_ptr<PluginLibrary> library = PluginLibrary::Open(BNSCORE_LIB_DIR "/libbayesnet.so");
  std::unique_ptr<ScoreTranslator> translator = library->GiveTranslator();
  std::unique_ptr<ScoreModel> model(
      translator->ParseFromTree(std::string(BNSCORE_TEST_DATA) + "/plugin_network.pmml", ""));
  ASSERT_NE(model, nullptr);
  translator.reset();

  EXPECT_EQ(model->GetModelType(), ScoreModel::BayesNet);
  BaseCaseRecord record({"region", "rooms", "age", "income"}, true);
  record.SetText(0, "north");
  record.SetNumber(1, 2);
  record.SetNumber(2, 40);
  record.SetNumber(3, 50000);
  ScoreResult* raw = nullptr;
  const MCScore::MCStatus status = model->GetScore(&record, raw, false);
  std::unique_ptr<ScoreResult> result(raw);
  EXPECT_TRUE(status.IsSuccess());
  ASSERT_NE(result, nullptr);
  EXPECT_EQ(result->GetPrediction()->GetString(), "low");
  // 0.084 / (0.084 + 0.0018): see ScoringTest.cpp.
  EXPECT_NEAR(result->GetConfidence(), 0.084 / 0.0858, 1e-12);

  result.reset();
  model.reset();
  library.reset();
}

}  // namespace
