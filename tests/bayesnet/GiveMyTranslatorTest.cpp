// The plug-in as the host sees it: loaded with dlopen, its factory found by
// its plain name, and everything else reached through the host interfaces.
#include <dlfcn.h>

#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "host/data/BaseCaseRecord.h"
#include "host/interfaces/ScoreResult.h"
#include "host/interfaces/ScoreTranslator.h"
#include "host/xml/XmlPlatform.h"

namespace {

using Factory = ScoreTranslator* (*)();

TEST(GiveMyTranslatorTest, FoundByPlainNameAndModelOutlivesTranslator) {
  XmlPlatform platform;
  void* library = dlopen(BNSCORE_LIB_DIR "/libbayesnet.so", RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(library, nullptr) << dlerror();
  auto factory = reinterpret_cast<Factory>(dlsym(library, "GiveMyTranslator"));
  ASSERT_NE(factory, nullptr) << dlerror();

  std::unique_ptr<ScoreTranslator> translator(factory());
  ASSERT_NE(translator, nullptr);
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
  dlclose(library);
}

}  // namespace
