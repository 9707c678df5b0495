#include <algorithm>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "host/data/BaseCaseRecord.h"
#include "host/data/BaseDictVar.h"
#include "host/data/BaseDictionary.h"
#include "host/data/NumericValue.h"
#include "host/data/StringValue.h"
#include "host/data/TransformationDictionary.h"

namespace {

DiscretizeBin Bin(const std::string& value, DiscretizeBin::Closure closure, bool hasLeft,
                  double left, bool hasRight, double right) {
  DiscretizeBin bin;
  bin.binValue = value;
  bin.hasBinValue = true;
  bin.closure = closure;
  bin.hasLeftMargin = hasLeft;
  bin.leftMargin = left;
  bin.hasRightMargin = hasRight;
  bin.rightMargin = right;
  return bin;
}

void Add(TransformationDictionary& t, const std::string& name, int type, const std::string& field,
         std::vector<DiscretizeBin> bins, const char* defaultValue, const char* missing) {
  auto d = std::make_unique<Discretization>();
  d->field = field;
  d->bins = std::move(bins);
  d->hasDefaultValue = defaultValue != nullptr;
  if (defaultValue != nullptr) d->defaultValue = defaultValue;
  d->hasMapMissingTo = missing != nullptr;
  if (missing != nullptr) d->mapMissingTo = missing;
  ASSERT_TRUE(t.AddDerivedField(std::make_unique<BaseDictVar>(name, type, 0), std::move(d)));
}

// Six derived fields over inputs x and y (z is in no record); `tag` ends
// the texts of field a, so that dictionaries can be told apart.
std::unique_ptr<TransformationDictionary> MakeDerived(const std::string& tag = "") {
  auto t = std::make_unique<TransformationDictionary>();
  using B = DiscretizeBin;
  Add(*t, "a", 1, "x",
      {Bin("low" + tag, B::OpenClosed, false, 0, true, 10),
       Bin("high" + tag, B::OpenOpen, true, 10, false, 0)},
      nullptr, "miss");
  Add(*t, "b", 0, "y",
      {Bin("1", B::ClosedOpen, true, 0, true, 5), Bin("2", B::ClosedOpen, true, 5, true, 10)}, "9",
      nullptr);
  t->AddDerivedField(std::make_unique<BaseDictVar>("c", 1, 0), nullptr);
  Add(*t, "d", 1, "x", {Bin("neg", B::OpenClosed, false, 0, true, 0)}, "pos", nullptr);
  Add(*t, "e", 0, "y", {Bin("100", B::ClosedClosed, true, 1, true, 1)}, nullptr, "-1");
  Add(*t, "f", 1, "z", {}, "never", "nz");
  t->SetUpDerivedCaseRecord();
  return t;
}

std::unique_ptr<BaseDictionary> MakeData() {
  auto data = std::make_unique<BaseDictionary>();
  auto x = std::make_unique<BaseDictVar>("x", 0, 0);
  x->AddMissingValue(std::make_unique<NumericValue>(99.0));
  data->AddVariable("x", x.release());
  data->AddVariable("y", new BaseDictVar("y", 0, 0));
  return data;
}

std::string Text(const ScoreCaseRecord* out, int position) {
  const ScoreValue* v = out->GetValue(position);
  if (v == nullptr) return "-";
  return (v->GetType() == ScoreValue::Numeric ? "#" : "") + v->GetString();
}
std::string All(const ScoreCaseRecord* out) {
  std::string s;
  for (int i = 0; i < 6; ++i) s += Text(out, i) + " ";
  return s;
}

// Records of other classes: a subclass, and one that only answers by name.
class SubRecord : public BaseCaseRecord {
 public:
  using BaseCaseRecord::BaseCaseRecord;
};
class NamedRecord : public ScoreCaseRecord {
 public:
  explicit NamedRecord(const BaseCaseRecord& inner) : inner_(inner) {}
  const ScoreValue* GetValue(int) const override { return nullptr; }
  const ScoreValue* GetValue(const std::string& name) const override {
    return inner_.GetValue(name);
  }
  bool IsIndexed() const override { return false; }
  int GetIndex(const std::string&) const override { return -1; }

 private:
  const BaseCaseRecord& inner_;
};
// A number whose own GetDouble must be honoured.
class ShiftedNumber : public NumericValue {
 public:
  explicit ShiftedNumber(double v) : NumericValue(v) {}
  double GetDouble() const override { return NumericValue::GetDouble() + 20; }
};

TEST(TransformationDictionary, SubsetGivesTheFullValuesAndNothingElse) {
  auto t = MakeDerived();
  auto data = MakeData();
  EXPECT_EQ(t->GetDerivedPosition("a"), 0);
  EXPECT_EQ(t->GetDerivedPosition("f"), 5);
  EXPECT_EQ(t->GetDerivedPosition("A"), -1);
  EXPECT_EQ(t->GetDerivedPosition("x"), -1);

  SubRecord sub({"y", "x"}, true);
  BaseCaseRecord in({"x", "y"}, false);
  NamedRecord named(in);
  struct Input {
    double x, y;
    bool hasX;
    const char* full;
  };
  const Input inputs[] = {
      {10, 4.999, true, "low #1 - pos - nz "},
      {10.5, 5, true, "high #2 - pos - nz "},
      {-3, 1, true, "low #1 - neg #100 nz "},
      {99, 10, true, "miss #9 - - - nz "},  // declared missing; y past the last bin
      {0, NumericValue::GetSysmisValue(), false, "miss - - - #-1 nz "},
  };
  const std::vector<std::vector<int>> subsets = {
      {1, 4}, {0}, {5, -1, 6, 5, 100}, {}, {1, 3, 3, 3, 3, 3, 3, 3}, {2, 0}};
  for (const Input& c : inputs) {
    if (c.hasX)
      in.SetNumber(0, c.x);
    else
      in.ClearValue(0);
    in.SetNumber(1, c.y);
    if (c.hasX)
      sub.SetNumber(1, c.x);
    else
      sub.ClearValue(1);
    sub.SetNumber(0, c.y);
    for (const ScoreCaseRecord* record :
         {static_cast<const ScoreCaseRecord*>(&in), static_cast<const ScoreCaseRecord*>(&sub),
          static_cast<const ScoreCaseRecord*>(&named)}) {
      const ScoreCaseRecord* full = t->GetValuesForDeriedVars(record, data.get());
      ASSERT_EQ(All(full), c.full) << c.x;
      std::vector<std::string> expected;
      for (int i = 0; i < 6; ++i) expected.push_back(Text(full, i));
      // Each subset follows the full call or another subset.
      for (const std::vector<int>& positions : subsets) {
        const ScoreCaseRecord* out = t->GetValuesForDerivedFields(record, data.get(), positions);
        EXPECT_EQ(out, full);
        for (int i = 0; i < 6; ++i) {
          bool wanted = std::find(positions.begin(), positions.end(), i) != positions.end();
          EXPECT_EQ(Text(out, i), wanted ? expected[i] : "-") << c.x << " field " << i;
        }
      }
    }
  }
  // Values of other classes: a text that reads as a number, and a subclass
  // of NumericValue whose GetDouble shifts its number.
  in.SetValue(0, std::make_unique<StringValue>(" 12 "));
  EXPECT_EQ(Text(t->GetValuesForDerivedFields(&in, data.get(), {0}), 0), "high");
  in.SetValue(0, std::make_unique<ShiftedNumber>(-5));
  EXPECT_EQ(Text(t->GetValuesForDerivedFields(&in, data.get(), {0, 3}), 0), "high");
  EXPECT_EQ(All(t->GetValuesForDeriedVars(&in, data.get())), "high - - pos #-1 nz ");
  // No record: every input is missing.
  EXPECT_EQ(All(t->GetValuesForDerivedFields(nullptr, data.get(), {0, 1, 4})), "miss - - - #-1 - ");
}

TEST(TransformationDictionary, ThreadsKeepTheirOwnRecords) {
  auto t = MakeDerived();
  auto data = MakeData();
  auto run = [&](double x, const char* a, const ScoreCaseRecord** mine, int* wrong) {
    BaseCaseRecord in({"x"}, true);
    in.SetNumber(0, x);
    const std::vector<int> wanted = {0};
    for (int i = 0; i < 3000; ++i) {
      const ScoreCaseRecord* out = i % 2 == 0
                                       ? t->GetValuesForDeriedVars(&in, data.get())
                                       : t->GetValuesForDerivedFields(&in, data.get(), wanted);
      if (i == 0) *mine = out;
      if (out != *mine || Text(out, 0) != a || (i % 2 == 1 && Text(out, 3) != "-")) ++*wrong;
    }
  };
  const ScoreCaseRecord* records[2] = {nullptr, nullptr};
  int wrong[2] = {0, 0};
  std::thread low(run, 1.0, "low", &records[0], &wrong[0]);
  std::thread high(run, 50.0, "high", &records[1], &wrong[1]);
  low.join();
  high.join();
  EXPECT_EQ(wrong[0], 0);
  EXPECT_EQ(wrong[1], 0);
  EXPECT_NE(records[0], records[1]);
  // The records outlive their threads; this thread has another one.
  EXPECT_EQ(Text(records[1], 0), "high");
  BaseCaseRecord in({"x"}, true);
  const ScoreCaseRecord* own = t->GetValuesForDeriedVars(&in, data.get());
  EXPECT_NE(own, records[0]);
  EXPECT_NE(own, records[1]);
}

TEST(TransformationDictionary, SetUpAndNewFieldsRemakeTheRecord) {
  auto t = MakeDerived();
  auto data = MakeData();
  BaseCaseRecord in({"x", "y"}, false);
  in.SetNumber(0, 1);
  in.SetNumber(1, 1);
  EXPECT_EQ(All(t->GetValuesForDeriedVars(&in, data.get())), "low #1 - pos #100 nz ");
  // The state the cache pointed to is gone (ASan would see a stale use).
  t->SetUpDerivedCaseRecord();
  EXPECT_EQ(All(t->GetValuesForDerivedFields(&in, data.get(), {4})), "- - - - #100 - ");
  t->SetUpDerivedCaseRecord();
  EXPECT_EQ(All(t->GetValuesForDeriedVars(&in, data.get())), "low #1 - pos #100 nz ");
  // A field added after calls (without SetUp) is in the next record.
  Add(*t, "g", 1, "y", {}, "gee", nullptr);
  EXPECT_EQ(t->GetDerivedPosition("g"), 6);
  const ScoreCaseRecord* out = t->GetValuesForDerivedFields(&in, data.get(), {6});
  EXPECT_EQ(Text(out, 6), "gee");
  EXPECT_EQ(All(out), "- - - - - - ");
  EXPECT_EQ(out->GetIndex("g"), 6);
  EXPECT_FALSE(out->IsIndexed());
}

TEST(TransformationDictionary, NewDictionariesNeverSeeOldRecords) {
  auto data = MakeData();
  BaseCaseRecord in({"x"}, false);
  in.SetNumber(0, 3);
  // One dictionary after another on this thread, likely at one address.
  for (int k = 0; k < 20; ++k) {
    auto t = MakeDerived(std::to_string(k));
    EXPECT_EQ(Text(t->GetValuesForDeriedVars(&in, data.get()), 0), "low" + std::to_string(k));
    EXPECT_EQ(Text(t->GetValuesForDerivedFields(&in, data.get(), {0}), 0),
              "low" + std::to_string(k));
  }
  // Two dictionaries in turn each keep their own record.
  auto first = MakeDerived("1");
  auto second = MakeDerived("2");
  const ScoreCaseRecord* one = first->GetValuesForDeriedVars(&in, data.get());
  const ScoreCaseRecord* two = second->GetValuesForDerivedFields(&in, data.get(), {0});
  EXPECT_NE(one, two);
  EXPECT_EQ(first->GetValuesForDeriedVars(&in, data.get()), one);
  EXPECT_EQ(Text(one, 0), "low1");
  EXPECT_EQ(Text(two, 0), "low2");
}

}  // namespace
