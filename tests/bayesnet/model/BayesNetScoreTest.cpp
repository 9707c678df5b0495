// Scoring of models assembled through their public operations.

#include <cmath>
#include <memory>

#include <gtest/gtest.h>

#include "bayesnet/encoders/VkBinningEncoder.h"
#include "bayesnet/encoders/VkCatNumericEncoder.h"
#include "bayesnet/result/BayesNetClsResult.h"
#include "host/data/BaseCaseRecord.h"
#include "host/data/NumericValue.h"
#include "host/data/TransformationDictionary.h"
#include "tests/bayesnet/model/ModelTestSupport.h"

namespace {

using namespace model_test;

// Deletes whatever result the model left in it.
struct ResultSlot {
  ScoreResult* result = nullptr;
  ~ResultSlot() { delete result; }
  long Score(BayesNetModel& model, const ScoreCaseRecord* record, bool derived = false) {
    return Code(model.GetScore(record, result, derived));
  }
  BayesNetClsResult* cls() const {
    EXPECT_EQ(result->GetScoreResultType(), 20);
    return static_cast<BayesNetClsResult*>(result);
  }
  std::string Prediction() const { return result->GetPrediction()->GetString(); }
  double Percent(int c) const { return cls()->GetAllValuePercent().at(c).second; }
};

const double kSysmis = NumericValue::GetSysmisValue();

TEST(BayesNetScoreTest, WorkedCaseReusesOneResult) {
  WorkedNet net = MakeWorkedNet();
  BaseCaseRecord record({"X"}, false);
  ResultSlot slot;

  record.SetText(0, "x0");
  EXPECT_EQ(slot.Score(*net.model, &record), 0);
  ASSERT_NE(slot.result, nullptr);
  BayesNetClsResult* result = slot.cls();
  const double a0 = 0.6 * 0.7, b0 = 0.4 * 0.2;
  ASSERT_EQ(result->GetAllValuePercent().size(), 2u);
  EXPECT_EQ(result->GetAllValuePercent()[0].first, CategoryValue(net.target, 0));
  EXPECT_EQ(result->GetAllValuePercent()[1].first, CategoryValue(net.target, 1));
  EXPECT_EQ(slot.Percent(0), a0 / (a0 + b0));
  EXPECT_EQ(slot.Percent(1), b0 / (a0 + b0));
  EXPECT_NEAR(slot.Percent(0), 0.84, 1e-15);
  EXPECT_EQ(result->GetConfidence(), a0 / (a0 + b0));
  EXPECT_EQ(result->GetTarget(), net.target);
  const ScoreValue* prediction = result->GetPrediction();
  ASSERT_NE(prediction, nullptr);
  EXPECT_EQ(prediction->GetType(), ScoreValue::String);
  EXPECT_EQ(prediction->GetString(), "a");

  // The same result object and prediction object serve the next record.
  record.SetText(0, "x1");
  EXPECT_EQ(slot.Score(*net.model, &record), 0);
  EXPECT_EQ(slot.result, result);
  EXPECT_EQ(result->GetPrediction(), prediction);
  EXPECT_EQ(prediction->GetString(), "b");
  const double a1 = 0.6 * 0.3, b1 = 0.4 * 0.8;
  ASSERT_EQ(result->GetAllValuePercent().size(), 2u);
  EXPECT_EQ(slot.Percent(0), a1 / (a1 + b1));
  EXPECT_EQ(slot.Percent(1), b1 / (a1 + b1));
  EXPECT_NEAR(slot.Percent(1), 0.64, 1e-15);
  EXPECT_EQ(result->GetConfidence(), b1 / (a1 + b1));

  // A missing predictor: status 90029, empty prediction in place, the
  // confidence of the previous record kept.
  record.ClearValue(0);
  MCScore::MCStatus status = net.model->GetScore(&record, slot.result, false);
  EXPECT_EQ(Code(status), 90029);
  EXPECT_FALSE(status.GetFlag());
  EXPECT_EQ(slot.result, result);
  EXPECT_EQ(result->GetPrediction(), prediction);
  EXPECT_EQ(prediction->GetString(), "");
  EXPECT_EQ(result->GetConfidence(), b1 / (a1 + b1));
  ASSERT_EQ(result->GetAllValuePercent().size(), 2u);
  EXPECT_EQ(slot.Percent(0), kSysmis);
  EXPECT_EQ(slot.Percent(1), kSysmis);

  // A value the encoder does not know behaves the same.
  record.SetText(0, "x0");
  slot.Score(*net.model, &record);
  record.SetText(0, "x9");
  EXPECT_EQ(slot.Score(*net.model, &record), 90029);
  EXPECT_EQ(prediction->GetString(), "");
  EXPECT_EQ(result->GetConfidence(), a0 / (a0 + b0));

  // No record at all: 90029, and the result is left as it was.
  record.SetText(0, "x0");
  slot.Score(*net.model, &record);
  EXPECT_EQ(slot.Score(*net.model, nullptr), 90029);
  EXPECT_EQ(slot.result, result);
  EXPECT_EQ(result->GetPrediction(), prediction);
  EXPECT_EQ(prediction->GetString(), "a");
  ResultSlot none;
  EXPECT_EQ(none.Score(*net.model, nullptr), 90029);
  EXPECT_EQ(none.result, nullptr);
}

// A model over the dictionary's target T and predictor X, coded by
// `xEncoder`, with the arc T -> X (X -> T when `xIsParent`). With
// `workedTables`, T's prior is (0.6, 0.4) and X's rows are {0} -> (0.7,
// 0.3) and {1} -> (0.2, 0.8).
std::unique_ptr<BayesNetModel> TwoNodeNet(BaseDictionary* dict, ScoreDictVar* x,
                                          IVkEncoder* xEncoder, bool xIsParent = false,
                                          bool workedTables = true) {
  auto model = std::make_unique<BayesNetModel>();
  ScoreDictVar* target = dict->GetVariable("T");
  model->SetScoreDictionary(dict);
  model->SetVarRole("T", ScoreModel::TargetRole);
  model->AddPredictorVar("X", x);
  model->AddEncoder(xEncoder);
  model->AddEncoder(EncoderFor(target));
  model->SetTargetVar(target);
  const char* parent = xIsParent ? "X" : "T";
  const char* child = xIsParent ? "T" : "X";
  AddArc(*model, parent, child);
  model->GetParentsTable()[child] = {parent};
  if (workedTables) {
    model->GetCPT()["T"][{}] = {0.6, 0.4, 50};
    model->GetCPT()["X"][{0}] = {0.7, 0.3, 30};
    model->GetCPT()["X"][{1}] = {0.2, 0.8, 20};
  }
  return model;
}

// T numeric (categories 1, 2); X continuous, binned at 5, with 99
// declared missing when `declareMissing`.
std::unique_ptr<BayesNetModel> BinnedNumericNet(bool declareMissing) {
  auto* dict = new BaseDictionary();
  AddVar(dict, "T", 0, 1, {"1", "2"});
  auto* x = new BaseDictVar("X", 0, ScoreDictVar::Continuous);
  if (declareMissing) x->AddMissingValue(std::make_unique<NumericValue>(99));
  dict->AddVariable("X", x);
  return TwoNodeNet(dict, x, new VkBinningEncoder({5}));
}

TEST(BayesNetScoreTest, NumericTargetAndTheMissingCheckOfContinuousPredictors) {
  // Records read by position and by name; values set as numbers and as
  // value objects of their own.
  for (int variant = 0; variant < 4; ++variant) {
    SCOPED_TRACE(variant);
    const bool indexed = variant % 2 == 1;
    const bool objects = variant >= 2;
    std::unique_ptr<BayesNetModel> model = BinnedNumericNet(true);
    BaseCaseRecord record({"X"}, indexed);
    auto set = [&](double x) {
      if (objects) {
        record.SetValue(0, std::make_unique<NumericValue>(x));
      } else {
        record.SetNumber(0, x);
      }
    };
    ResultSlot slot;
    set(7);  // bin 1
    EXPECT_EQ(slot.Score(*model, &record), 0);
    const ScoreValue* prediction = slot.result->GetPrediction();
    EXPECT_EQ(prediction->GetType(), ScoreValue::Numeric);
    EXPECT_EQ(prediction->GetDouble(), 2);
    EXPECT_NEAR(slot.result->GetConfidence(), 0.64, 1e-15);

    set(99);  // would be bin 1, but the variable calls it missing
    EXPECT_EQ(slot.Score(*model, &record), 90029);
    EXPECT_EQ(slot.result->GetPrediction(), prediction);
    EXPECT_EQ(prediction->GetDouble(), kSysmis);

    set(kSysmis);  // would be bin 0
    EXPECT_EQ(slot.Score(*model, &record), 90029);

    set(3);
    EXPECT_EQ(slot.Score(*model, &record), 0);
    EXPECT_EQ(prediction->GetDouble(), 1);

    // A new result for a missing record holds a new system-missing number.
    ResultSlot fresh;
    record.ClearValue(0);
    EXPECT_EQ(fresh.Score(*model, &record), 90029);
    EXPECT_EQ(fresh.result->GetPrediction()->GetType(), ScoreValue::Numeric);
    EXPECT_EQ(fresh.result->GetPrediction()->GetDouble(), kSysmis);
    EXPECT_EQ(fresh.result->GetConfidence(), -1.0);

    // Without declared missing values, 99 is a number like any other, and
    // the system-missing value is still missing.
    std::unique_ptr<BayesNetModel> plain = BinnedNumericNet(false);
    ResultSlot plainSlot;
    set(99);
    EXPECT_EQ(plainSlot.Score(*plain, &record), 0);
    EXPECT_EQ(plainSlot.result->GetPrediction()->GetDouble(), 2);
    set(kSysmis);
    EXPECT_EQ(plainSlot.Score(*plain, &record), 90029);
  }
}

TEST(BayesNetScoreTest, DeclaredMissingValuesOfCategoricalPredictorsReachTheEncoder) {
  auto* dict = new BaseDictionary();
  AddVar(dict, "T", 1, 1, {"a", "b"});
  BaseDictVar* x = AddVar(dict, "X", 0, ScoreDictVar::Categorical, {"3", "99"});
  x->AddMissingValue(std::make_unique<NumericValue>(99));
  auto model = TwoNodeNet(dict, x, EncoderFor(x));
  BaseCaseRecord record({"X"}, false);
  record.SetNumber(0, 99);
  ResultSlot slot;
  EXPECT_EQ(slot.Score(*model, &record), 0);
  EXPECT_EQ(slot.Prediction(), "b");
}

// A model with no predictors whose target T has the given prior row and,
// with `encoded`, an encoder of its categories.
std::unique_ptr<BayesNetModel> PriorOnly(const std::vector<std::string>& categories,
                                         const std::vector<double>& row, bool encoded = true) {
  auto model = std::make_unique<BayesNetModel>();
  auto* dict = new BaseDictionary();
  BaseDictVar* target = AddVar(dict, "T", 1, 1, categories);
  model->SetScoreDictionary(dict);
  model->SetVarRole("T", ScoreModel::TargetRole);
  if (encoded) model->AddEncoder(EncoderFor(target));
  model->SetTargetVar(target);
  if (!row.empty()) model->GetCPT()["T"][{}] = row;
  return model;
}

TEST(BayesNetScoreTest, TiesTablesAbsentAndTargetsWithoutCategories) {
  BaseCaseRecord record({}, false);
  {
    // Ties go to the first category.
    auto model = PriorOnly({"a", "b", "c"}, {0.2, 0.4, 0.4, 10});
    ResultSlot slot;
    EXPECT_EQ(slot.Score(*model, &record), 0);
    EXPECT_EQ(slot.Prediction(), "b");
    const double sum = 0.2 + 0.4 + 0.4;
    EXPECT_EQ(slot.result->GetConfidence(), 0.4 / sum);
    EXPECT_EQ(slot.cls()->GetPercent(CategoryValue(slot.result->GetTarget(), 0)), 0.2 / sum);
  }
  {
    // No table: AdjustedBayes scores the three categories known only
    // through the dictionary (no encoder) evenly; the lookup adds no table.
    auto model = PriorOnly({"a", "b", "c"}, {}, false);
    model->SetParamLearnMethod(BayesNetModel::AdjustedBayes);
    ResultSlot slot;
    EXPECT_EQ(slot.Score(*model, &record), 0);
    EXPECT_EQ(slot.Prediction(), "a");
    EXPECT_EQ(slot.result->GetConfidence(), (1.0 / 3) / (1.0 / 3 + 1.0 / 3 + 1.0 / 3));
    EXPECT_TRUE(model->GetCPT().empty());
  }
  {
    // Factors beyond 1 whose sum overflows give no probabilities either.
    auto model = PriorOnly({"a", "b"}, {1e308, 1e308, 10});
    ResultSlot slot;
    EXPECT_EQ(slot.Score(*model, &record), 90021);
    EXPECT_EQ(slot.Prediction(), "");
  }
  {
    // Otherwise nothing scores.
    auto model = PriorOnly({"a", "b"}, {});
    ResultSlot slot;
    EXPECT_EQ(slot.Score(*model, &record), 90021);
    EXPECT_TRUE(model->GetCPT().empty());
  }
  {
    auto model = PriorOnly({}, {}, false);
    ResultSlot slot;
    EXPECT_EQ(slot.Score(*model, &record), 90021);
    EXPECT_TRUE(slot.cls()->GetAllValuePercent().empty());
    EXPECT_EQ(slot.Prediction(), "");
  }
}

TEST(BayesNetScoreTest, TargetWithParentsAndNoChildren) {
  // X -> T: the posterior is T's row for X's code.
  auto* dict = new BaseDictionary();
  AddVar(dict, "T", 1, 1, {"a", "b"});
  BaseDictVar* x = AddVar(dict, "X", 1, 1, {"x0", "x1"});
  auto model = TwoNodeNet(dict, x, EncoderFor(x), true, false);
  model->GetCPT()["T"][{0}] = {0.9, 0.1, 5};
  model->GetCPT()["T"][{1}] = {0.1, 0.3, 7};
  BaseCaseRecord record({"X"}, false);
  record.SetText(0, "x1");
  ResultSlot slot;
  EXPECT_EQ(slot.Score(*model, &record), 0);
  EXPECT_EQ(slot.Prediction(), "b");
  EXPECT_EQ(slot.result->GetConfidence(), 0.3 / (0.1 + 0.3));
}

TEST(BayesNetScoreTest, UnseenParentConfiguration) {
  // T (a, b) with the prior (0.5, 0.5) and child X of four categories whose
  // table holds only the row listed.
  auto unseen = [](BayesNetModel::ParamLearnMethod method, int row) {
    auto* dict = new BaseDictionary();
    AddVar(dict, "T", 1, 1, {"a", "b"});
    BaseDictVar* x = AddVar(dict, "X", 1, 1, {"x0", "x1", "x2", "x3"});
    auto model = TwoNodeNet(dict, x, EncoderFor(x), false, false);
    model->SetParamLearnMethod(method);
    model->GetCPT()["T"][{}] = {0.5, 0.5, 8};
    model->GetCPT()["X"][{row}] = {0.1, 0.2, 0.3, 0.4, 10};
    return model;
  };
  BaseCaseRecord record({"X"}, false);
  record.SetText(0, "x1");
  {
    auto model = unseen(BayesNetModel::MaxLikelihood, 0);
    ResultSlot slot;
    EXPECT_EQ(slot.Score(*model, &record), 0);
    EXPECT_EQ(slot.Prediction(), "a");
    EXPECT_EQ(slot.result->GetConfidence(), 1.0);
    EXPECT_EQ(slot.Percent(1), 0.0);
  }
  {
    auto model = unseen(BayesNetModel::AdjustedBayes, 0);
    ResultSlot slot;
    EXPECT_EQ(slot.Score(*model, &record), 0);
    EXPECT_EQ(slot.Prediction(), "b");
    const double a = 0.5 * 0.2, b = 0.5 * 0.25;
    EXPECT_EQ(slot.Percent(0), a / (a + b));
    EXPECT_EQ(slot.result->GetConfidence(), b / (a + b));
  }
  {
    // No row for either category: nothing scores.
    auto model = unseen(BayesNetModel::BayesMethod, 2);
    ResultSlot slot;
    MCScore::MCStatus status = model->GetScore(&record, slot.result, false);
    EXPECT_EQ(Code(status), 90021);
    EXPECT_FALSE(status.GetFlag());
    EXPECT_EQ(slot.Prediction(), "");
    EXPECT_EQ(slot.result->GetConfidence(), -1.0);
    ASSERT_EQ(slot.cls()->GetAllValuePercent().size(), 2u);
    EXPECT_EQ(slot.Percent(0), kSysmis);
  }
}

TEST(BayesNetScoreTest, ChildThatIsNoPredictorZeroesEveryScore) {
  WorkedNet net = MakeWorkedNet();
  net.model->SetParamLearnMethod(BayesNetModel::AdjustedBayes);
  AddArc(*net.model, "T", "Z");  // Z is neither target nor predictor
  net.model->GetParentsTable()["Z"] = {"T"};
  BaseCaseRecord record({"X"}, false);
  record.SetText(0, "x0");
  ResultSlot slot;
  EXPECT_EQ(slot.Score(*net.model, &record), 90021);
}

TEST(BayesNetScoreTest, PredictionOnly) {
  WorkedNet net = MakeWorkedNet();
  net.model->SetPredictionOnly(true);
  BaseCaseRecord record({"X"}, false);
  record.SetText(0, "x1");
  ResultSlot slot;
  EXPECT_EQ(slot.Score(*net.model, &record), 0);
  EXPECT_EQ(slot.Prediction(), "b");
  EXPECT_EQ(slot.result->GetConfidence(), -1.0);
  EXPECT_TRUE(slot.cls()->GetAllValuePercent().empty());

  record.ClearValue(0);
  EXPECT_EQ(slot.Score(*net.model, &record), 90029);
  EXPECT_EQ(slot.Prediction(), "");
  EXPECT_TRUE(slot.cls()->GetAllValuePercent().empty());
}

// A result of another kind, counting its deletions.
class OtherResult : public ScoreResult {
 public:
  explicit OtherResult(int* deleted) : deleted_(deleted) {}
  ~OtherResult() override { ++*deleted_; }
  void SetPrediction(ScoreValue*) override {}
  const ScoreValue* GetPrediction() const override { return nullptr; }
  void AddAdvice(ResultAdvice) override {}
  std::vector<ResultAdvice> GetAdvice() const override { return {}; }
  void RemoveAdvice() override {}
  const ScoreDictVar* GetTarget() const override { return nullptr; }
  void SetConfidence(double) override {}
  double GetConfidence() const override { return 0.0; }
  ResultType GetScoreResultType() const override { return UnknownResult; }

 private:
  int* deleted_;
};

TEST(BayesNetScoreTest, ResultOwnership) {
  WorkedNet net = MakeWorkedNet();
  BaseCaseRecord record({"X"}, false);
  record.SetText(0, "x0");

  // A result of another type is deleted once and replaced.
  int otherDeleted = 0;
  ResultSlot slot;
  slot.result = new OtherResult(&otherDeleted);
  EXPECT_EQ(slot.Score(*net.model, &record), 0);
  EXPECT_EQ(otherDeleted, 1);
  EXPECT_EQ(slot.result->GetScoreResultType(), 20);
  EXPECT_EQ(slot.Prediction(), "a");
  EXPECT_EQ(slot.result->GetTarget(), net.target);

  // A prediction that the caller's result already holds is updated in
  // place and deleted once, with the result.
  int predictionDeleted = 0;
  auto* own = new BayesNetClsResult(net.target);
  auto* held = new CountingString("old", &predictionDeleted);
  own->SetPrediction(held);
  ScoreResult* reused = own;
  for (const char* x : {"x1", "x0", "x1"}) {
    record.SetText(0, x);
    net.model->GetScore(&record, reused, false);
  }
  EXPECT_EQ(reused, own);
  EXPECT_EQ(own->GetPrediction(), held);
  EXPECT_EQ(held->GetString(), "b");
  EXPECT_EQ(predictionDeleted, 0);
  delete reused;
  EXPECT_EQ(predictionDeleted, 1);
}

TEST(BayesNetScoreTest, IndexedRecordsKeepTheFirstLayout) {
  WorkedNet net = MakeWorkedNet();
  BaseCaseRecord byName({"Y", "X"}, false);
  byName.SetText(1, "x1");
  ResultSlot slot;
  EXPECT_EQ(slot.Score(*net.model, &byName), 0);
  EXPECT_EQ(net.x->GetIndex(), -1);

  BaseCaseRecord first({"Y", "X"}, true);
  first.SetText(1, "x1");
  EXPECT_EQ(slot.Score(*net.model, &first), 0);
  EXPECT_EQ(net.x->GetIndex(), 1);
  EXPECT_EQ(net.target->GetIndex(), -1);  // the target gets no position
  EXPECT_EQ(slot.Prediction(), "b");

  // A later layout is not consulted: position 1 is read.
  BaseCaseRecord later({"X", "Y"}, true);
  later.SetText(0, "x1");
  later.SetText(1, "x0");
  EXPECT_EQ(slot.Score(*net.model, &later), 0);
  EXPECT_EQ(slot.Prediction(), "a");
  EXPECT_EQ(net.x->GetIndex(), 1);
  later.ClearValue(1);
  EXPECT_EQ(slot.Score(*net.model, &later), 90029);
}

// T -> X, where predictor X is derived from the data field A by the bins
// (-inf, 5] -> "lo" and (5, inf) -> "hi".
struct DerivedNet {
  std::unique_ptr<BayesNetModel> model;
  ScoreDictVar* derived;  // owned by the transformation dictionary
};

DerivedNet MakeDerivedNet() {
  auto* dict = new BaseDictionary();
  AddVar(dict, "T", 1, 1, {"a", "b"});
  dict->AddVariable("A", new BaseDictVar("A", 0, ScoreDictVar::Continuous));
  auto* transformation = new TransformationDictionary();
  auto var = std::make_unique<BaseDictVar>("X", 1, ScoreDictVar::Categorical);
  var->AddValueLabel(std::make_unique<StringValue>("lo"), "lo");
  var->AddValueLabel(std::make_unique<StringValue>("hi"), "hi");
  auto discretization = std::make_unique<Discretization>();
  discretization->field = "A";
  discretization->bins = {{"lo", true, DiscretizeBin::OpenClosed, false, 0, true, 5},
                          {"hi", true, DiscretizeBin::OpenClosed, true, 5, false, 0}};
  transformation->AddDerivedField(std::move(var), std::move(discretization));
  transformation->SetUpDerivedCaseRecord();

  DerivedNet net;
  net.derived = transformation->GetVariable("X");
  net.model = TwoNodeNet(dict, net.derived, EncoderFor(net.derived));
  net.model->SetTransformationScoreDictionary(transformation);
  net.model->SetNeedDerivedPredictor(true);
  net.model->SetDerivedToDataField("X", "A");
  return net;
}

TEST(BayesNetScoreTest, DerivedPredictors) {
  {
    // Computed by the transformation dictionary, for records by name and
    // by position.
    DerivedNet net = MakeDerivedNet();
    ResultSlot slot;
    BaseCaseRecord byName({"A"}, false);
    byName.SetNumber(0, 3);
    EXPECT_EQ(slot.Score(*net.model, &byName), 0);
    EXPECT_EQ(slot.Prediction(), "a");
    BaseCaseRecord indexed({"A"}, true);
    indexed.SetNumber(0, 7);
    EXPECT_EQ(slot.Score(*net.model, &indexed), 0);
    EXPECT_EQ(slot.Prediction(), "b");
    EXPECT_EQ(net.derived->GetIndex(), -1);  // not a data-dictionary field

    // Without the flag no derived values are asked for.
    net.model->SetNeedDerivedPredictor(false);
    EXPECT_EQ(slot.Score(*net.model, &byName), 90029);
  }
  {
    // Carried by the records themselves: the derived fields get positions
    // and the record's own X is read, whatever A says.
    DerivedNet net = MakeDerivedNet();
    ResultSlot slot;
    BaseCaseRecord record({"A", "X"}, true);
    record.SetNumber(0, 3);
    record.SetText(1, "hi");
    EXPECT_EQ(slot.Score(*net.model, &record, true), 0);
    EXPECT_EQ(net.derived->GetIndex(), 1);
    EXPECT_EQ(slot.Prediction(), "b");
    record.ClearValue(1);
    EXPECT_EQ(slot.Score(*net.model, &record, true), 90029);
  }
}

}  // namespace

// AddValuePercent finds no entry equal to a category that is not equal to
// itself (a NaN), so every record lists it once more; the in-place refill of
// the percentages must not shortcut that.
TEST(BayesNetScoreTest, CategoryUnequalToItselfIsListedAgainOnEveryRecord) {
  WorkedNet net = MakeWorkedNet(true);
  BaseDictVar target("T", 0, 1);
  target.AddValueLabel(std::make_unique<NumericValue>(1.0), "one");
  target.AddValueLabel(std::make_unique<NumericValue>(std::nan("")), "nan");
  net.model->SetTargetVar(&target);
  BaseCaseRecord record({"X"}, false);
  record.SetText(0, "x0");
  const double a0 = 0.6 * 0.7, b0 = 0.4 * 0.2;
  ResultSlot slot;
  for (std::size_t n = 2; n <= 4; ++n) {
    EXPECT_EQ(Code(net.model->GetScore(&record, slot.result, false)), 0);
    const auto& listed = slot.cls()->GetAllValuePercent();
    ASSERT_EQ(listed.size(), n);
    EXPECT_EQ(listed[0].first, CategoryValue(&target, 0));
    EXPECT_EQ(listed[0].second, a0 / (a0 + b0));
    for (std::size_t j = 1; j < n; ++j) {
      EXPECT_EQ(listed[j].first, CategoryValue(&target, 1));
      EXPECT_EQ(listed[j].second, b0 / (a0 + b0));
    }
  }
}
