#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "host/data/BaseCaseRecord.h"
#include "host/data/BaseDictVar.h"
#include "host/data/BaseDictionary.h"
#include "host/data/BaseModel.h"
#include "host/data/NumericValue.h"
#include "host/data/StringValue.h"
#include "host/data/TransformationDictionary.h"

namespace {

TEST(Values, EqualityAcrossTypesAndClone) {
  NumericValue one(1.0);
  NumericValue oneAgain(std::string(" 1.0 "));
  StringValue textOne("1");
  EXPECT_TRUE(one == oneAgain);
  EXPECT_FALSE(one == textOne);
  EXPECT_FALSE(textOne == one);
  EXPECT_TRUE(textOne == StringValue(std::string("1")));
  EXPECT_FALSE(textOne == StringValue("1 "));
  EXPECT_FALSE(NumericValue(std::numeric_limits<double>::quiet_NaN()) ==
               NumericValue(std::numeric_limits<double>::quiet_NaN()));

  std::unique_ptr<ScoreValue> copy(textOne.Clone());
  EXPECT_EQ(copy->GetType(), ScoreValue::String);
  EXPECT_EQ(copy->GetString(), "1");
  std::unique_ptr<ScoreValue> numberCopy(one.Clone());
  EXPECT_TRUE(*numberCopy == one);
}

TEST(Values, TextReadsAsNumberOrSysmis) {
  EXPECT_EQ(NumericValue(std::string("+2.5")).GetDouble(), 2.5);
  EXPECT_TRUE(NumericValue(std::string("abc")).IsSystemMissingValue());
  EXPECT_TRUE(NumericValue(std::string("")).IsSystemMissingValue());
  EXPECT_EQ(NumericValue(std::string("abc")).GetString(), "");
  EXPECT_EQ(StringValue(" 12 ").GetDouble(), 12);
  EXPECT_EQ(StringValue("12a").GetDouble(), NumericValue::GetSysmisValue());
  EXPECT_FALSE(StringValue("").IsSystemMissingValue());

  NumberTextBuffer buffer;
  EXPECT_EQ(NumericValue(1e-7).GetStringView(buffer), "1e-07");
  EXPECT_EQ(NumericValue(1e-7).GetString(), "1e-07");
}

TEST(DictVar, MissingValuesLabelsCloneAndDisplay) {
  BaseDictVar var("age", ScoreValue::Numeric, ScoreDictVar::Ordinal);
  EXPECT_EQ(var.GetValueLabelSet(), nullptr);
  EXPECT_EQ(var.GetNumCategories(), 0);
  EXPECT_EQ(var.GetIndex(), -1);
  var.AddValueLabel(std::make_unique<NumericValue>(1), "low");
  var.AddValueLabel(std::make_unique<NumericValue>(2.5), "mid");
  var.AddMissingValue(std::make_unique<NumericValue>(99));
  var.SetIndex(4);

  NumericValue ninetyNine(99), two(2.5), sysmis(NumericValue::GetSysmisValue());
  EXPECT_TRUE(var.IsMissingValue(nullptr));
  EXPECT_TRUE(var.IsMissingValue(&sysmis));
  EXPECT_TRUE(var.IsMissingValue(&ninetyNine));
  EXPECT_FALSE(var.IsMissingValue(&two));
  StringValue text99("99");
  EXPECT_FALSE(var.IsMissingValue(&text99));

  std::ostringstream out;
  var.Display(out);
  EXPECT_EQ(out.str(),
            "age (numeric, ordinal) index 4, 2 categories: 1=\"low\" 2.5=\"mid\"; missing: 99\n");

  std::unique_ptr<ScoreDictVar> copy(var.Clone());
  var.AddValueLabel(std::make_unique<NumericValue>(3), "high");  // the copy is deep
  EXPECT_EQ(copy->GetNumCategories(), 2);
  EXPECT_EQ(copy->GetIndex(), 4);
  EXPECT_TRUE(copy->IsMissingValue(&ninetyNine));
  ASSERT_NE(copy->GetValueLabelSet(), nullptr);
  const auto& labels = copy->GetValueLabelSet()->GetLabels();
  EXPECT_EQ(labels[1]->GetLabel(), "mid");
  EXPECT_NE(labels[1]->GetValue(), var.GetValueLabelSet()->GetLabels()[1]->GetValue());
  EXPECT_TRUE(*labels[1]->GetValue() == two);

  std::ostringstream plain;
  BaseDictVar("name", ScoreValue::String, ScoreDictVar::Categorical).Display(plain);
  EXPECT_EQ(plain.str(), "name (string, categorical) index -1, 0 categories\n");
}

// Counts its own destructions.
class CountedVar : public BaseDictVar {
 public:
  CountedVar(const std::string& name, int* deleted)
      : BaseDictVar(name, ScoreValue::Numeric, ScoreDictVar::Continuous), deleted_(deleted) {}
  ~CountedVar() override { ++*deleted_; }

 private:
  int* deleted_;
};

TEST(Dictionary, OrderLookupAndOwnership) {
  int deleted = 0;
  {
    BaseDictionary dictionary;
    EXPECT_TRUE(dictionary.AddVariable("b", new CountedVar("b", &deleted)));
    EXPECT_TRUE(dictionary.AddVariable("a", new CountedVar("a", &deleted)));
    EXPECT_FALSE(dictionary.AddVariable("b", new CountedVar("b", &deleted)));
    EXPECT_EQ(deleted, 1);  // the refused one, at once
    EXPECT_FALSE(dictionary.AddVariable("c", nullptr));
    EXPECT_EQ(dictionary.GetNumVariables(), 2);
    EXPECT_EQ(dictionary.GetVariable("x"), nullptr);
    EXPECT_EQ(dictionary.GetVariable("a")->GetName(), "a");
    std::vector<ScoreDictVar*> vars{nullptr, nullptr, nullptr};
    dictionary.GetVariables(vars);
    ASSERT_EQ(vars.size(), 2u);
    EXPECT_EQ(vars[0]->GetName(), "b");
    EXPECT_EQ(vars[1]->GetName(), "a");
  }
  EXPECT_EQ(deleted, 3);
}

TEST(CaseRecord, PositionsNamesAndReuse) {
  BaseCaseRecord record({"x", "y", "x"}, true);
  EXPECT_TRUE(record.IsIndexed());
  EXPECT_FALSE(BaseCaseRecord({}, false).IsIndexed());
  EXPECT_EQ(record.GetIndex("x"), 0);
  EXPECT_EQ(record.GetIndex("y"), 1);
  EXPECT_EQ(record.GetIndex("z"), -1);
  EXPECT_EQ(record.GetValue(0), nullptr);  // nothing stored yet
  EXPECT_EQ(record.GetValue(-1), nullptr);
  EXPECT_EQ(record.GetValue(3), nullptr);
  EXPECT_EQ(record.GetValue("z"), nullptr);

  record.SetNumber(2, 7);
  EXPECT_EQ(record.GetValue("x"), nullptr);  // by name: the first "x"
  record.SetNumber(0, 5);
  const ScoreValue* first = record.GetValue("x");
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(first->GetDouble(), 5);
  EXPECT_EQ(record.GetValue(2)->GetDouble(), 7);

  record.ClearValue(0);
  EXPECT_EQ(record.GetValue(0), nullptr);
  record.SetNumber(0, 6);  // the value object is kept and reused
  EXPECT_EQ(record.GetValue(0), first);
  EXPECT_EQ(first->GetDouble(), 6);

  record.SetText(1, "abc");
  const ScoreValue* text = record.GetValue(1);
  record.SetText(1, "ab");
  EXPECT_EQ(record.GetValue(1), text);
  EXPECT_EQ(text->GetString(), "ab");
  record.SetNumber(1, 1);  // a different type replaces the object
  EXPECT_EQ(record.GetValue(1)->GetType(), ScoreValue::Numeric);

  record.SetValue(1, std::make_unique<StringValue>("s"));
  EXPECT_EQ(record.GetValue("y")->GetString(), "s");
  record.SetValue(1, nullptr);
  EXPECT_EQ(record.GetValue(1), nullptr);
  record.SetNumber(9, 1);  // out of range: ignored
  record.ClearAll();
  for (int i = 0; i < 3; ++i) EXPECT_EQ(record.GetValue(i), nullptr);
}

TEST(CaseRecord, TextViewsBorrowAndMixWithOwnedValues) {
  BaseCaseRecord record({"t"}, true);
  record.SetText(0, "owned");
  const ScoreValue* owned = record.GetValue(0);
  std::string borrowed = "red";
  record.SetTextView(0, borrowed);
  const ScoreValue* view = record.GetValue(0);
  ASSERT_NE(view, owned);
  EXPECT_EQ(record.GetCell(0).kind, BaseCaseRecord::kText);
  EXPECT_EQ(record.GetCell(0).text.data(), borrowed.data());  // no copy
  EXPECT_TRUE(*view == StringValue("red"));
  EXPECT_TRUE(StringValue("red") == *view);
  EXPECT_FALSE(*view == NumericValue(1.0));
  std::unique_ptr<ScoreValue> copy(view->Clone());
  borrowed = "XYZ";  // the view follows its text; the clone owns its own
  EXPECT_EQ(view->GetString(), "XYZ");
  EXPECT_EQ(copy->GetString(), "red");
  EXPECT_EQ(StringValue("12").GetDouble(), (record.SetTextView(0, "12"), view->GetDouble()));

  // Owned values set after a view go back to the objects kept for them.
  record.SetText(0, "again");
  EXPECT_EQ(record.GetValue(0), owned);
  EXPECT_EQ(record.GetCell(0).text, "again");
  record.SetTextView(0, "v");
  record.ClearValue(0);
  record.SetNumber(0, 3);
  EXPECT_EQ(record.GetValue(0)->GetDouble(), 3);
  record.SetTextView(0, "w");
  EXPECT_EQ(record.GetValue(0), view);
}

// The least model there is: BaseModel's bookkeeping and nothing else.
class BareModel : public BaseModel {
 public:
  void SetPredictionOnly(bool) override {}
  ScoreDictionary* GetVarsOfRole(VarRole) const override { return nullptr; }
  MCScore::MCStatus GetScore(const ScoreCaseRecord*, ScoreResult*&, bool) override {
    return MCScore::MCStatus();
  }
  ModelType GetModelType() const override { return UnknownModel; }
  bool GetPredictionOnly() const override { return false; }
  void Display(std::ostream&) const override {}
};

class CountedTransformation : public TransformationDictionary {
 public:
  explicit CountedTransformation(int* deleted) : deleted_(deleted) {}
  ~CountedTransformation() override { ++*deleted_; }

 private:
  int* deleted_;
};

class CountedVersion : public ScoreVersionInfo {
 public:
  explicit CountedVersion(int* deleted) : ScoreVersionInfo("4.0"), deleted_(deleted) {}
  ~CountedVersion() override { ++*deleted_; }

 private:
  int* deleted_;
};

TEST(Model, RolesTargetAndOwnership) {
  int deleted = 0;
  {
    BareModel model;
    EXPECT_EQ(model.GetTargetVar(), nullptr);
    EXPECT_FALSE(model.SetVarRole("a", ScoreModel::InputRole));  // no dictionary yet
    auto* dictionary = new BaseDictionary;
    dictionary->AddVariable("a", new CountedVar("a", &deleted));
    dictionary->AddVariable("t", new CountedVar("t", &deleted));
    dictionary->AddVariable("u", new CountedVar("u", &deleted));
    model.SetScoreDictionary(dictionary);
    model.SetTransformationScoreDictionary(new CountedTransformation(&deleted));
    model.SetVersionInfo(new CountedVersion(&deleted));
    model.SetVersionInfo(new CountedVersion(&deleted));  // replaces and deletes the first
    EXPECT_EQ(deleted, 1);
    EXPECT_EQ(model.GetVersionInfo()->GetVersion(), "4.0");

    EXPECT_TRUE(model.SetVarRole("a", ScoreModel::InputRole));
    EXPECT_FALSE(model.SetVarRole("derived", ScoreModel::InputRole));
    EXPECT_EQ(model.GetVarRole("derived"), ScoreModel::NoRole);
    EXPECT_TRUE(model.SetVarRole(dictionary->GetVariable("u"), ScoreModel::TargetRole));
    EXPECT_TRUE(model.SetVarRole("t", ScoreModel::TargetRole));
    EXPECT_FALSE(
        model.SetVarRole(static_cast<const ScoreDictVar*>(nullptr), ScoreModel::TargetRole));
    EXPECT_EQ(model.GetVarRole(dictionary->GetVariable("a")), ScoreModel::InputRole);
    EXPECT_EQ(model.GetVarRole(static_cast<const ScoreDictVar*>(nullptr)), ScoreModel::NoRole);
    // First of role 1 in dictionary order.
    EXPECT_EQ(model.GetTargetVar(), dictionary->GetVariable("t"));
    EXPECT_EQ(model.GetMissingValuePolicy(), ScoreModel::MissingAsIs);
  }
  EXPECT_EQ(deleted, 1 + 3 + 1 + 1);
}

}  // namespace
