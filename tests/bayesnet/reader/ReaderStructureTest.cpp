// What accepted documents become: arcs, parent lists, tables, predictors,
// encoders, derived-field links, learning method and version.
#include <limits>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/bayesnet/reader/PluginTestSupport.h"

namespace {

using Names = std::vector<std::string>;
using Row = std::vector<double>;
using Config = BayesNetModel::ParentConfig;

constexpr BayesNetModel::ArcOrient kOut = BayesNetModel::ArcOut;
constexpr BayesNetModel::ArcOrient kIn = BayesNetModel::ArcIn;

class EdgesDocumentTest : public testing::Test {
 protected:
  void SetUp() override {
    model_ = ReadModel("plugin_edges.pmml");
    ASSERT_NE(model_, nullptr);
  }
  const BayesNetModel::CPTable& Table(const std::string& node) { return model_->GetCPT().at(node); }
  std::unique_ptr<BayesNetModel> model_;
};

TEST_F(EdgesDocumentTest, LinkRows) {
  auto& links = model_->GetLinkSource();
  // T; level; yes -> both directions.
  EXPECT_EQ(links.at("T").at("level"), kOut);
  EXPECT_EQ(links.at("level").at("T"), kIn);
  // Flags "no", "Yes" and a lone blank store nothing; neither does a flag
  // followed by a line break (T; v; yes\n).
  EXPECT_EQ(links.at("T").count("num"), 0u);
  EXPECT_EQ(links.count("v"), 0u);
  // Blanks around names are trimmed; an escaped separator is part of a name.
  EXPECT_EQ(links.at("x").at("y"), kOut);
  EXPECT_EQ(links.at("a;b").at("z"), kOut);
  EXPECT_EQ(links.at("z").at("a;b"), kIn);
  // A derived field stands for its data field; one without a data field
  // resolves to the empty name.
  EXPECT_EQ(links.at("age").at("w"), kOut);
  EXPECT_EQ(links.count("ageBin"), 0u);
  EXPECT_EQ(links.at("").at("r"), kOut);
  // Arcs accumulate over LinkSource elements; a repeated row changes nothing.
  EXPECT_EQ(links.at("num").at("u"), kOut);
  EXPECT_EQ(links.at("u").size(), 1u);
  EXPECT_EQ(links.size(), 12u);
}

TEST_F(EdgesDocumentTest, ParentListsResolvedAndReplaced) {
  const std::map<std::string, Names> expected = {
      {"T", {}}, {"x", {"level"}},      {"y", {"num"}}, {"z", {"num"}}, {"w", {"age"}},
      {"v", {}}, {"u", {"T", "level"}}, {"r", {"T"}},  // the second table for r replaced the first
  };
  EXPECT_EQ(model_->GetParentsTable(), expected);
}

TEST_F(EdgesDocumentTest, TableRows) {
  // parentsNumber 0: every row has the empty key, the last one stays.
  EXPECT_EQ(Table("T"), (BayesNetModel::CPTable{{Config{}, Row{0.6, 0.4, 50}}}));
  // level's labels are "7" (value 5) and "seven" (value 7): the label "7"
  // wins over the category whose value is 7.
  EXPECT_EQ(Table("x"), (BayesNetModel::CPTable{{Config{0}, Row{0.3, 0.7, 40}},
                                                {Config{1}, Row{0.4, 0.6, 41}}}));
  // num's categories 1.0 and 2.0 (labels "one", "two") match by value.
  EXPECT_EQ(Table("y"),
            (BayesNetModel::CPTable{{Config{0}, Row{0.2, 0.8, 1}}, {Config{1}, Row{0.1, 0.9, 2}}}));
  EXPECT_EQ(Table("z"), (BayesNetModel::CPTable{{Config{1}, Row{0.5, 0.5, 3}}}));
  // A continuous parent's values are read as atoi reads them.
  EXPECT_EQ(Table("w"), (BayesNetModel::CPTable{{Config{0}, Row{0.3, 0.7, 6}},
                                                {Config{1}, Row{0.2, 0.8, 5}},
                                                {Config{2}, Row{0.1, 0.9, 4}}}));
  // Numbers: a leading number is read, anything else gives 0.
  EXPECT_EQ(Table("v"), (BayesNetModel::CPTable{{Config{}, Row{0.0, 0.25, 0.0, 0.1, 7}}}));
  // A row with fewer parent values than parents keeps code 0 for the rest.
  EXPECT_EQ(Table("u"), (BayesNetModel::CPTable{{Config{1, 0}, Row{8}}}));
  EXPECT_EQ(Table("r"), (BayesNetModel::CPTable{{Config{0}, Row{0.25, 0.75, 12}}}));
  EXPECT_EQ(model_->GetCPT().size(), 8u);
}

TEST_F(EdgesDocumentTest, PredictorsAndEncoders) {
  EXPECT_EQ(model_->GetPredictorVarNames(), (Names{"level", "num", "age", "age2", "age3"}));
  EXPECT_FALSE(model_->NeedDerivedPredictor());

  // ageBin's margins 10 and 10.0 chain: cut points 10 and 20.
  const IVkEncoder* age = model_->GetEncoder("age");
  ASSERT_NE(age, nullptr);
  EXPECT_EQ(age->GetEncoderType(), IVkEncoder::Binning);
  EXPECT_EQ(age->GetNumCategories(), 3);
  EXPECT_EQ(age->GetCode("10"), 0);
  EXPECT_EQ(age->GetCode("10.5"), 1);
  EXPECT_EQ(age->GetCode("20"), 1);
  EXPECT_EQ(age->GetCode("20.5"), 2);
  // Cut points written as 20, 10 are accepted unsorted.
  EXPECT_EQ(model_->GetEncoder("age2")->GetNumCategories(), 3);
  // A first bin without rightMargin chains to the lowest double.
  const IVkEncoder* age3 = model_->GetEncoder("age3");
  EXPECT_EQ(age3->GetCode("-5"), 1);
  EXPECT_EQ(age3->GetCode("5"), 2);

  // Categorical encoders carry the labels in value-label order.
  const IVkEncoder* level = model_->GetEncoder("level");
  EXPECT_EQ(level->GetEncoderType(), IVkEncoder::CategoricalNumeric);
  EXPECT_EQ(*level->GetLabels(), (Names{"7", "seven"}));
  EXPECT_EQ(level->GetCategoryValue(0), 5.0);
  // The target's encoder closes the list.
  const IVkEncoder* target = model_->GetEncoder("T");
  ASSERT_NE(target, nullptr);
  EXPECT_EQ(target->GetEncoderType(), IVkEncoder::CategoricalString);
  EXPECT_EQ(target->GetCategoryString(1), "b");
}

TEST_F(EdgesDocumentTest, SchemaLinksAndRoles) {
  // A DerivedFieldRef under the predicted field links it too.
  EXPECT_EQ(model_->GetDataField("tBin"), "T");
  EXPECT_EQ(model_->GetDataField("ageBin"), "age");
  EXPECT_EQ(model_->GetDerivedField("age3"), "lowestBin");
  // An Extension whose first child is not a DerivedFieldRef is passed over.
  EXPECT_EQ(model_->GetDataField("nothing"), "");
  EXPECT_EQ(model_->GetDerivedField("level"), "");
  EXPECT_EQ(model_->GetVarRole("T"), ScoreModel::TargetRole);
  EXPECT_EQ(model_->GetVarRole("level"), ScoreModel::InputRole);  // no usageType
  EXPECT_EQ(model_->GetVarRole("x"), ScoreModel::NoRole);         // supplementary
  // Application without version.
  EXPECT_EQ(model_->GetVersionInfo()->GetVersion(), "3.1");
}

TEST(NetworkDocumentTest, SchemaOrderAndDerivedPredictor) {
  std::unique_ptr<BayesNetModel> model = ReadModel("plugin_network.pmml");
  ASSERT_NE(model, nullptr);
  // The qualifying DerivedFields extension stands between rooms and age; the
  // one with another extender is ignored.
  EXPECT_EQ(model->GetPredictorVarNames(),
            (Names{"region", "rooms", "incomeBand", "age", "income"}));
  EXPECT_TRUE(model->NeedDerivedPredictor());
  EXPECT_EQ(model->GetDataField("incomeBand"), "income");
  EXPECT_EQ(model->GetVarRole("zip"), ScoreModel::NoRole);
  EXPECT_EQ(model->GetEncoder("incomeBand")->GetEncoderType(), IVkEncoder::CategoricalString);
  EXPECT_EQ(model->GetEncoder("income")->GetNumCategories(), 2);
  EXPECT_EQ(model->GetVersionInfo()->GetVersion(), "7.1");
  EXPECT_EQ(model->GetParamLearnMethod(), BayesNetModel::MaxLikelihood);
  const auto& risk = model->GetLinkSource().at("risk");
  EXPECT_EQ(risk, (std::map<std::string, BayesNetModel::ArcOrient>{
                      {"age", kOut}, {"income", kOut}, {"region", kIn}, {"rooms", kOut}}));
}

TEST(NetworkDocumentTest, LearningMethodAndVersion) {
  const struct {
    const char* file;
    BayesNetModel::ParamLearnMethod method;
  } cases[] = {
      {"plugin_learn_adjusted.pmml", BayesNetModel::AdjustedBayes},
      {"plugin_learn_bayes.pmml", BayesNetModel::BayesMethod},
      {"plugin_learn_maxlikelihood.pmml", BayesNetModel::MaxLikelihood},
      {"plugin_learn_wrong_case.pmml", BayesNetModel::MaxLikelihood},
      {"plugin_learn_no_method.pmml", BayesNetModel::MaxLikelihood},
      {"plugin_learn_second_extension.pmml", BayesNetModel::MaxLikelihood},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    std::unique_ptr<BayesNetModel> model = ReadModel(c.file);
    ASSERT_NE(model, nullptr);
    EXPECT_EQ(model->GetParamLearnMethod(), c.method);
  }
  for (const char* file : {"plugin_version_absent.pmml", "plugin_version_empty.pmml"}) {
    SCOPED_TRACE(file);
    std::unique_ptr<BayesNetModel> model = ReadModel(file);
    ASSERT_NE(model, nullptr);
    EXPECT_EQ(model->GetVersionInfo()->GetVersion(), "3.1");
  }
}

}  // namespace
