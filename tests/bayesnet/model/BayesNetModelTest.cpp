// The model's structure, queries, display and ownership.

#include <memory>
#include <sstream>

#include <gtest/gtest.h>

#include "host/data/BaseCaseRecord.h"
#include "host/data/NumericValue.h"
#include "tests/bayesnet/model/ModelTestSupport.h"

namespace {

using namespace model_test;

TEST(BayesNetModelTest, EncodersAreFoundByPredictorOrTarget) {
  WorkedNet net = MakeWorkedNet();
  BayesNetModel& model = *net.model;
  IVkEncoder* x = model.GetEncoder("X");
  IVkEncoder* t = model.GetEncoder("T");
  ASSERT_NE(x, nullptr);
  ASSERT_NE(t, nullptr);
  EXPECT_NE(x, t);
  EXPECT_EQ(x->GetCode(std::string("x1")), 1);
  EXPECT_EQ(t->GetCode(std::string("b")), 1);
  EXPECT_EQ(model.GetEncoder("Q"), nullptr);
  EXPECT_EQ(model.GetEncoder("x"), nullptr);  // names are case-sensitive

  // A predictor entry without an encoder falls back to the target's role.
  BayesNetModel other;
  auto* dict = new BaseDictionary();
  BaseDictVar* target = AddVar(dict, "T", 1, 1, {"a"});
  other.SetScoreDictionary(dict);
  other.SetVarRole("T", ScoreModel::TargetRole);
  other.AddPredictorVar("T", target);
  other.AddEncoder(nullptr);
  IVkEncoder* last = EncoderFor(target);
  other.AddEncoder(last);
  EXPECT_EQ(other.GetEncoder("T"), last);
}

TEST(BayesNetModelTest, NamesAndMaps) {
  WorkedNet net = MakeWorkedNet();
  BayesNetModel& model = *net.model;
  EXPECT_EQ(model.GetPredictorVarNames(), (std::vector<std::string>{"X"}));
  model.AddPredictorVar("Y", net.x);
  model.AddPredictorVar("X", net.x);
  EXPECT_EQ(model.GetPredictorVarNames(), (std::vector<std::string>{"X", "Y", "X"}));
  const BayesNetModel& view = model;
  EXPECT_EQ(view.GetEncoder("X"), view.GetEncoderAt(0));  // the first entry of the name
  EXPECT_EQ(view.GetEncoder("Y"), view.GetEncoderAt(1));
  EXPECT_EQ(view.GetEncoderAt(2), nullptr);

  EXPECT_EQ(model.GetDataField("d"), "");
  EXPECT_EQ(model.GetDerivedField("x"), "");
  model.SetDerivedToDataField("d", "x");
  model.SetDerivedToDataField("e", "x");
  EXPECT_EQ(model.GetDataField("d"), "x");
  EXPECT_EQ(model.GetDataField("e"), "x");
  EXPECT_EQ(model.GetDerivedField("x"), "e");
  EXPECT_EQ(model.GetDerivedField("d"), "");
}

TEST(BayesNetModelTest, ConstGettersKeepThePlanModifiableOnesDiscardIt) {
  WorkedNet net = MakeWorkedNet();
  net.model->Prepare();
  const BayesNetModel& view = *net.model;
  const ScoringPlan* plan = view.GetScoringPlan();
  ASSERT_NE(plan, nullptr);
  EXPECT_EQ(view.GetCPT().at("X").size(), 2u);
  EXPECT_EQ(view.GetParentsTable().at("X"), (std::vector<std::string>{"T"}));
  EXPECT_EQ(view.GetLinkSource().at("T").at("X"), BayesNetModel::ArcOut);
  EXPECT_EQ(view.GetEncoder("X"), view.GetEncoderAt(0));
  EXPECT_EQ(view.GetScoringPlan(), plan);

  // A setter compiles a new plan at once; a modifiable reference leaves
  // it to the next GetScore.
  net.model->SetParamLearnMethod(BayesNetModel::AdjustedBayes);
  EXPECT_NE(view.GetScoringPlan(), nullptr);
  for (auto discard :
       {+[](BayesNetModel& m) { m.GetCPT(); }, +[](BayesNetModel& m) { m.GetParentsTable(); },
        +[](BayesNetModel& m) { m.GetLinkSource(); },
        +[](BayesNetModel& m) { m.GetEncoder("X"); }}) {
    discard(*net.model);
    EXPECT_EQ(view.GetScoringPlan(), nullptr);
    BaseCaseRecord record({"X"}, false);
    record.SetText(0, "x0");
    ScoreResult* result = nullptr;
    EXPECT_EQ(Code(net.model->GetScore(&record, result, false)), 0);
    delete result;
    EXPECT_NE(view.GetScoringPlan(), nullptr);
  }
}

TEST(BayesNetModelTest, TargetCategories) {
  WorkedNet net = MakeWorkedNet();
  BayesNetModel& model = *net.model;
  const auto& categories = model.GetTargetCategories();
  ASSERT_EQ(categories.size(), 2u);
  EXPECT_EQ(categories[0], CategoryValue(net.target, 0));
  EXPECT_EQ(categories[1], CategoryValue(net.target, 1));

  // A variable without categories leaves the list as it was.
  BaseDictVar bare("U", 1, 1);
  model.SetTargetVar(&bare);
  EXPECT_EQ(model.GetTargetCategories().size(), 2u);
  model.SetTargetVar(net.x);
  ASSERT_EQ(categories.size(), 2u);
  EXPECT_EQ(categories[1]->GetString(), "x1");
}

TEST(BayesNetModelTest, VarsOfRole) {
  WorkedNet net = MakeWorkedNet();
  std::unique_ptr<ScoreDictionary> targets(net.model->GetVarsOfRole(ScoreModel::TargetRole));
  ASSERT_NE(targets, nullptr);
  EXPECT_EQ(targets->GetNumVariables(), 1);
  ScoreDictVar* t = targets->GetVariable("T");
  ASSERT_NE(t, nullptr);
  EXPECT_NE(t, net.target);  // a copy
  EXPECT_EQ(t->GetNumCategories(), 2);

  std::unique_ptr<ScoreDictionary> inputs(net.model->GetVarsOfRole(ScoreModel::InputRole));
  ASSERT_NE(inputs, nullptr);
  EXPECT_EQ(inputs->GetNumVariables(), 1);
  EXPECT_NE(inputs->GetVariable("X"), nullptr);
  EXPECT_NE(inputs->GetVariable("X"), net.x);

  EXPECT_EQ(net.model->GetVarsOfRole(ScoreModel::NoRole), nullptr);
}

TEST(BayesNetModelTest, DeletesEveryEncoderOnce) {
  int deleted = 0;
  auto model = std::make_unique<BayesNetModel>();
  model->AddEncoder(new CountingEncoder(&deleted));
  model->AddEncoder(nullptr);
  model->AddEncoder(new CountingEncoder(&deleted));
  model->AddEncoder(new CountingEncoder(&deleted));
  model.reset();
  EXPECT_EQ(deleted, 3);
}

std::string DisplayOf(const BayesNetModel& model) {
  std::ostringstream os;
  model.Display(os);
  return os.str();
}

std::string DisplayOf(const ScoreDictVar& var) {
  std::ostringstream os;
  var.Display(os);
  return os.str();
}

TEST(BayesNetModelTest, Display) {
  WorkedNet net = MakeWorkedNet();
  const std::string before = DisplayOf(*net.model);
  EXPECT_EQ(before,
            "\nBegin Display of BayesNetModel.\n"
            "Input variable names: X  Only prediction? False.\n"
            "Encoders: \n"
            "Target variable: " +
                DisplayOf(*net.target) +
                "Target categories: ab"
                "Target category counts: \n"
                "Target probabilities: \n"
                "Dict var index set up? False\n"
                "Predictor variables and their stats:" +
                DisplayOf(*net.x) + "End of BayesNetModel display.\n");

  // After an indexed record and with prediction only.
  BaseCaseRecord record({"X"}, true);
  record.SetText(0, "x0");
  ScoreResult* result = nullptr;
  net.model->GetScore(&record, result, false);
  delete result;
  net.model->SetPredictionOnly(true);
  const std::string after = DisplayOf(*net.model);
  EXPECT_NE(after.find("X  Only prediction? True.\n"), std::string::npos);
  EXPECT_NE(after.find("Dict var index set up? True\n"), std::string::npos);

  BayesNetModel empty;
  auto* dict = new BaseDictionary();
  BaseDictVar* target = AddVar(dict, "T", 0, 1, {"1", "2.5"});
  empty.SetScoreDictionary(dict);
  empty.SetTargetVar(target);
  // Categories are written with the shortest number text, without a space.
  EXPECT_NE(DisplayOf(empty).find("Input variable names:  Only prediction? False.\n"
                                  "Encoders: \nTarget variable: " +
                                  DisplayOf(*target) +
                                  "Target categories: 12.5Target category counts: \n"),
            std::string::npos);
}

}  // namespace
