#include "tests/bayesnet/reader/PluginTestSupport.h"

#include <gtest/gtest.h>

#include "bayesnet/reader/BayesNetTranslator.h"
#include "host/xml/PmmlParser.h"
#include "host/xml/XmlPlatform.h"

std::string DataPath(const std::string& name) {
  return std::string(BNSCORE_TEST_DATA) + "/" + name;
}

std::unique_ptr<BayesNetModel> ReadModel(const std::string& name) {
  XmlPlatform platform;
  DocumentPtr document = PmmlParser::ParseFile(DataPath(name));
  BayesNetTranslator translator;
  try {
    std::unique_ptr<ScoreModel> model(translator.ParseFromTree(document.get(), ""));
    EXPECT_EQ(translator.GetModel(), model.get());
    return std::unique_ptr<BayesNetModel>(static_cast<BayesNetModel*>(model.release()));
  } catch (const VkException& e) {
    ADD_FAILURE() << name << " rejected: code " << e.GetCode() << ", " << e.GetMessage();
    return nullptr;
  }
}

VkException ReadFault(const std::string& name) {
  XmlPlatform platform;
  DocumentPtr document = PmmlParser::ParseFile(DataPath(name));
  BayesNetTranslator translator;
  try {
    std::unique_ptr<ScoreModel> model(translator.ParseFromTree(document.get(), ""));
    ADD_FAILURE() << name << " was accepted";
  } catch (const VkException& e) {
    // The abandoned model is gone and the translator no longer points at it.
    EXPECT_EQ(translator.GetModel(), nullptr) << name;
    return e;
  }
  return VkException(-1, "accepted");
}
