#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "host/data/BaseCaseRecord.h"
#include "host/data/NumericValue.h"
#include "host/data/StringValue.h"
#include "host/interfaces/VkException.h"
#include "host/xml/PMMLTranslator.h"
#include "host/xml/PmmlParser.h"
#include "host/xml/XmlPlatform.h"

namespace {

using xercesc::DOMElement;

// A PMML translator that reads only the dictionaries.
class DictionaryReader : public PMMLTranslator {
 public:
  DictionaryReader() : PMMLTranslator("") { CreateTranscoder(""); }
  ScoreModel* ParseFromTree(xercesc::DOMDocument*, const std::string&) override { return nullptr; }
  using PMMLTranslator::ParseFromTree;
};

std::string Label(const ScoreDictVar* var, int i) {
  return var->GetValueLabelSet()->GetLabels()[i]->GetLabel();
}
const ScoreValue* LabelValue(const ScoreDictVar* var, int i) {
  return var->GetValueLabelSet()->GetLabels()[i]->GetValue();
}

class DictionaryReading : public ::testing::Test {
 protected:
  void SetUp() override {
    doc_ = PmmlParser::ParseFile(BNSCORE_TEST_DATA "/host_dictionary.pmml");
    DOMElement* root = doc_->getDocumentElement();
    data_.reset(reader_.ParseDictionary(BaseTranslator::GetChildByTag(root, "DataDictionary")));
    derived_.reset(reader_.HandleTransformationDictionary(
        BaseTranslator::GetChildByTag(root, "TransformationDictionary"), data_.get()));
    derived_->SetUpDerivedCaseRecord();
  }

  // The derived value of `name` for a record holding only `field` = `value`
  // (no value at all when `value` is null).
  const ScoreValue* Derive(const std::string& name, const std::string& field,
                           std::unique_ptr<ScoreValue> value) {
    record_ = std::make_unique<BaseCaseRecord>(std::vector<std::string>{"other", field}, true);
    record_->SetValue(1, std::move(value));
    return derived_->GetValuesForDeriedVars(record_.get(), data_.get())->GetValue(name);
  }
  std::string DeriveText(const std::string& name, const std::string& field, double x) {
    const ScoreValue* v = Derive(name, field, std::make_unique<NumericValue>(x));
    return v == nullptr ? "(none)" : v->GetString();
  }

  XmlPlatform platform_;
  DocumentPtr doc_;
  DictionaryReader reader_;
  std::unique_ptr<ScoreDictionary> data_;
  std::unique_ptr<TransformationDictionary> derived_;
  std::unique_ptr<BaseCaseRecord> record_;
};

TEST_F(DictionaryReading, DataFieldsTypesMeasuresAndLabels) {
  std::vector<ScoreDictVar*> vars;
  data_->GetVariables(vars);
  std::vector<std::string> names;
  for (ScoreDictVar* v : vars) names.push_back(v->GetName());
  EXPECT_EQ(names, (std::vector<std::string>{"age", "sex", "grade", "score", "code", "flag"}));

  const ScoreDictVar* age = data_->GetVariable("age");
  EXPECT_EQ(age->GetValueType(), 0);
  EXPECT_EQ(age->GetMeasure(), ScoreDictVar::Continuous);
  EXPECT_EQ(age->GetValueLabelSet(), nullptr);
  NumericValue n99(99), n1(-1), n5(5);
  EXPECT_TRUE(age->IsMissingValue(&n99));
  EXPECT_TRUE(age->IsMissingValue(&n1));
  EXPECT_FALSE(age->IsMissingValue(&n5));

  const ScoreDictVar* sex = data_->GetVariable("sex");
  EXPECT_EQ(sex->GetValueType(), 1);
  EXPECT_EQ(sex->GetMeasure(), ScoreDictVar::Categorical);  // string default
  ASSERT_EQ(sex->GetNumCategories(), 3);                    // "U" invalid, "?" missing
  EXPECT_EQ(Label(sex, 0), "Male");
  EXPECT_EQ(LabelValue(sex, 0)->GetString(), "M");
  EXPECT_EQ(LabelValue(sex, 0)->GetType(), ScoreValue::String);
  EXPECT_EQ(Label(sex, 1), "F");
  EXPECT_EQ(Label(sex, 2), "");  // an empty displayValue is still the label
  StringValue question("?"), u("U");
  EXPECT_TRUE(sex->IsMissingValue(&question));
  EXPECT_FALSE(sex->IsMissingValue(&u));

  const ScoreDictVar* grade = data_->GetVariable("grade");
  EXPECT_EQ(grade->GetMeasure(), ScoreDictVar::Ordinal);
  EXPECT_EQ(grade->GetValueType(), 0);
  ASSERT_EQ(grade->GetNumCategories(), 3);
  EXPECT_EQ(LabelValue(grade, 1)->GetType(), ScoreValue::Numeric);
  EXPECT_EQ(LabelValue(grade, 1)->GetDouble(), 2.0);
  EXPECT_EQ(Label(grade, 1), "two");
  EXPECT_EQ(Label(grade, 2), "3");

  EXPECT_EQ(data_->GetVariable("score")->GetValueType(), 0);
  EXPECT_EQ(data_->GetVariable("score")->GetMeasure(), ScoreDictVar::Continuous);
  EXPECT_EQ(data_->GetVariable("code")->GetValueType(), 1);
  EXPECT_EQ(data_->GetVariable("code")->GetMeasure(), ScoreDictVar::Categorical);
  EXPECT_EQ(data_->GetVariable("flag")->GetValueType(), 1);
  EXPECT_EQ(data_->GetVariable("notAField"), nullptr);
}

TEST_F(DictionaryReading, DerivedFieldsAndTheirLabels) {
  std::vector<ScoreDictVar*> vars;
  derived_->GetVariables(vars);
  std::vector<std::string> names;
  for (ScoreDictVar* v : vars) names.push_back(v->GetName());
  EXPECT_EQ(names, (std::vector<std::string>{"age_bin", "grade_bin", "score_bin", "doubled"}));

  const ScoreDictVar* ageBin = derived_->GetVariable("age_bin");
  EXPECT_EQ(ageBin->GetMeasure(), ScoreDictVar::Categorical);
  ASSERT_EQ(ageBin->GetNumCategories(), 4);  // distinct bin values, in bin order
  EXPECT_EQ(Label(ageBin, 0), "A");
  EXPECT_EQ(Label(ageBin, 3), "D");
  EXPECT_EQ(LabelValue(ageBin, 3)->GetString(), "D");

  const ScoreDictVar* gradeBin = derived_->GetVariable("grade_bin");
  EXPECT_EQ(gradeBin->GetMeasure(), ScoreDictVar::Ordinal);
  ASSERT_EQ(gradeBin->GetNumCategories(), 2);  // from Value children
  EXPECT_EQ(Label(gradeBin, 1), "high");
  EXPECT_EQ(LabelValue(gradeBin, 1)->GetDouble(), 2);

  const ScoreDictVar* scoreBin = derived_->GetVariable("score_bin");
  EXPECT_EQ(scoreBin->GetMeasure(), ScoreDictVar::Categorical);
  ASSERT_EQ(scoreBin->GetNumCategories(), 3);
  EXPECT_EQ(Label(scoreBin, 2), "nointerval");

  EXPECT_EQ(derived_->GetVariable("doubled")->GetMeasure(), ScoreDictVar::Continuous);
  EXPECT_EQ(derived_->GetVariable("doubled")->GetNumCategories(), 0);
}

TEST_F(DictionaryReading, DiscretizeAtIntervalEdgesForEveryClosure) {
  struct Case {
    double x;
    const char* bin;
  };
  const Case cases[] = {
      {-1e300, "A"},
      {18, "A"},  // openClosed (-inf, 18]
      {18.000000000000004, "B"},
      {29.999, "B"},  // openOpen (18, 30)
      {30, "other"},
      {39.999, "other"},  // gap: defaultValue
      {40, "C"},
      {49.999, "C"},  // closedOpen [40, 50)
      {50, "D"},
      {60, "D"},  // closedClosed [50, 60]
      {60.001, "other"},
      {70, "other"},  // openClosed (70, inf)
      {70.001, "A"},
      {1e300, "A"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(DeriveText("age_bin", "age", c.x), c.bin) << c.x;
  }
  // Later bins whose margins cannot be read, whose closure is unknown
  // (read as openClosed) or that have no interval or no binValue.
  EXPECT_EQ(DeriveText("score_bin", "score", 5), "none");
  EXPECT_EQ(DeriveText("score_bin", "score", 10), "(none)");  // bin without binValue
  EXPECT_EQ(DeriveText("score_bin", "score", 20), "(none)");
  EXPECT_EQ(DeriveText("score_bin", "score", 20.5), "odd");
  EXPECT_EQ(DeriveText("score_bin", "score", 30), "odd");
  EXPECT_EQ(DeriveText("score_bin", "score", 30.5), "none");

  // A numeric derived field gives numbers; no defaultValue gives no value.
  const ScoreValue* v = Derive("grade_bin", "grade", std::make_unique<NumericValue>(1.999));
  ASSERT_NE(v, nullptr);
  EXPECT_EQ(v->GetType(), ScoreValue::Numeric);
  EXPECT_EQ(v->GetDouble(), 1);
  EXPECT_EQ(DeriveText("grade_bin", "grade", 2), "2");
  EXPECT_EQ(DeriveText("grade_bin", "grade", 3), "2");
  EXPECT_EQ(DeriveText("grade_bin", "grade", 3.5), "(none)");
  // The input may be a text that reads as a number.
  EXPECT_EQ(Derive("age_bin", "age", std::make_unique<StringValue>(" 45 "))->GetString(), "C");
  // A field without Discretize never has a value.
  EXPECT_EQ(Derive("doubled", "score", std::make_unique<NumericValue>(1)), nullptr);
}

TEST_F(DictionaryReading, MissingInputsMapToMapMissingTo) {
  EXPECT_EQ(Derive("age_bin", "age", nullptr)->GetString(), "unknown");
  EXPECT_EQ(Derive("age_bin", "unrelated", std::make_unique<NumericValue>(5))->GetString(),
            "unknown");  // the record has no "age" field
  EXPECT_EQ(DeriveText("age_bin", "age", NumericValue::GetSysmisValue()), "unknown");
  EXPECT_EQ(DeriveText("age_bin", "age", 99), "unknown");  // declared missing
  EXPECT_EQ(DeriveText("age_bin", "age", -1), "unknown");
  EXPECT_EQ(Derive("age_bin", "age", std::make_unique<StringValue>("abc"))->GetString(), "unknown");
  // Without mapMissingTo a missing input gives no value.
  EXPECT_EQ(Derive("grade_bin", "grade", nullptr), nullptr);
}

TEST_F(DictionaryReading, InputsAreFoundInRecordsOfEveryLayoutIntoOneReusedRecord) {
  // The input field's position is kept per layout: records of two layouts
  // in turn, and a new record of the first layout, each give their own age;
  // the derived record and its value objects are reused throughout.
  auto ageBin = [this](const BaseCaseRecord& in) {
    return derived_->GetValuesForDeriedVars(&in, data_.get())->GetValue("age_bin");
  };
  BaseCaseRecord first({"age"}, false);
  BaseCaseRecord second({"grade", "age"}, true);
  first.SetNumber(0, 10);
  second.SetNumber(0, 2);
  second.SetNumber(1, 45);
  const ScoreValue* value = ageBin(first);
  const ScoreCaseRecord* out = derived_->GetValuesForDeriedVars(&second, data_.get());
  EXPECT_EQ(out->GetValue("grade_bin")->GetDouble(), 2);
  for (int round = 0; round < 2; ++round) {
    EXPECT_EQ(ageBin(first)->GetString(), "A");
    EXPECT_EQ(ageBin(second), value);
    EXPECT_EQ(value->GetString(), "C");
  }
  auto again = std::make_unique<BaseCaseRecord>(std::vector<std::string>{"grade", "age"}, false);
  again->SetNumber(1, 10);
  EXPECT_EQ(again->GetLayoutId(), second.GetLayoutId());
  EXPECT_NE(again->GetLayoutId(), first.GetLayoutId());
  EXPECT_EQ(ageBin(*again)->GetString(), "A");
  EXPECT_EQ(derived_->GetValuesForDeriedVars(again.get(), data_.get()), out);
  EXPECT_EQ(out->GetValue("grade_bin"), nullptr);

  // A list is kept only while a record has it: one that comes back after
  // its last record gets a new number, and the derived values follow it.
  std::uint64_t gone;
  {
    BaseCaseRecord lone({"age", "grade"}, true);
    lone.SetNumber(0, 45);
    EXPECT_EQ(ageBin(lone)->GetString(), "C");
    gone = lone.GetLayoutId();
  }
  BaseCaseRecord back({"age", "grade"}, true);
  back.SetNumber(0, 10);
  EXPECT_NE(back.GetLayoutId(), gone);
  EXPECT_EQ(ageBin(back)->GetString(), "A");
}

// The code-7 faults and the duplicate-name rule, read from small texts.
std::pair<int, std::string> DictionaryFault(const std::string& fields) {
  XmlPlatform platform;
  DocumentPtr doc = PmmlParser::ParseText(
      "<PMML>\n<DataDictionary>\n" + fields + "</DataDictionary>\n</PMML>\n", "dict.pmml");
  DictionaryReader reader;
  try {
    std::unique_ptr<ScoreDictionary> dictionary(reader.ParseDictionary(
        BaseTranslator::GetChildByTag(doc->getDocumentElement(), "DataDictionary")));
  } catch (const VkException& e) {
    return {e.GetCode(), e.GetMessage()};
  }
  return {0, ""};
}

// A category listed twice would leave the target's codes, probabilities and
// result list out of step: refused, by text for strings, by number for
// numbers. Missing and invalid values may repeat; names differ by case.
TEST(DictionaryFaults, MissingOrDuplicateNamesAndCategoriesRaiseCode7) {
  const std::pair<std::string, std::string> faults[] = {
      {"<DataField name=\"a\" dataType=\"double\"/>\n<DataField dataType=\"string\"/>\n",
       "Attribute name is required in <DataField> at line 4."},
      {"<DataField name=\"\"/>\n", "Attribute name is required in <DataField> at line 3."},
      {"<DataField name=\"a\"/>\n<DataField name=\"b\"/>\n<DataField name=\"a\"/>\n",
       "DataField name 'a' at line 5 is already defined."},
      {"<DataField name=\"t\" dataType=\"string\">\n<Value value=\"a\"/>\n"
       "<Value value=\"b\"/>\n<Value value=\"a\" displayValue=\"A\"/>\n</DataField>\n",
       "DataField 't': the category 'a' at line 6 is listed twice."},
      {"<DataField name=\"n\" dataType=\"integer\">\n<Value value=\"1\"/>\n"
       "<Value value=\"1.0\" property=\"valid\"/>\n</DataField>\n",
       "DataField 'n': the category '1.0' at line 5 is listed twice (as '1' before)."},
      {"<DataField name=\"n\" dataType=\"double\">\n<Value value=\"nan\"/>\n</DataField>\n",
       "DataField 'n': the category 'nan' at line 4 is not a number."},
      {"<DataField name=\"a\"/>\n<DataField name=\"A\"/>\n", ""},
      {"<DataField name=\"s\" dataType=\"string\"><Value value=\"1\"/><Value value=\"1.0\"/>"
       "<Value value=\"1\" property=\"missing\"/><Value value=\"?\" property=\"missing\"/>"
       "<Value value=\"?\" property=\"missing\"/><Value value=\"x\" property=\"invalid\"/>"
       "<Value value=\"x\" property=\"invalid\"/></DataField>\n",
       ""},
  };
  for (const auto& [fields, message] : faults) {
    EXPECT_EQ(DictionaryFault(fields), std::make_pair(message.empty() ? 0 : 7, message)) << fields;
  }
}

TEST(TransformationDictionaryCategories, BinsShareCategoriesAndValuesMayNotRepeat) {
  XmlPlatform platform;
  DictionaryReader reader;
  DocumentPtr bins = PmmlParser::ParseText(
      "<TransformationDictionary><DerivedField name=\"d\" dataType=\"double\"><Discretize "
      "field=\"x\">"
      "<DiscretizeBin binValue=\"1\"/><DiscretizeBin binValue=\"2\"/><DiscretizeBin "
      "binValue=\"1.0\"/>"
      "</Discretize></DerivedField></TransformationDictionary>",
      "t.pmml");
  std::unique_ptr<TransformationDictionary> derived(
      reader.HandleTransformationDictionary(bins->getDocumentElement(), nullptr));
  ASSERT_EQ(derived->GetVariable("d")->GetNumCategories(), 2);
  EXPECT_EQ(Label(derived->GetVariable("d"), 1), "2");

  DocumentPtr values = PmmlParser::ParseText(
      "<TransformationDictionary>\n<DerivedField name=\"e\" dataType=\"string\">\n"
      "<Value value=\"u\"/>\n<Value value=\"u\"/>\n</DerivedField>\n</TransformationDictionary>",
      "t.pmml");
  try {
    delete reader.HandleTransformationDictionary(values->getDocumentElement(), nullptr);
    ADD_FAILURE() << "a repeated category was accepted";
  } catch (const VkException& e) {
    EXPECT_EQ(e.GetCode(), 7);
    EXPECT_EQ(e.GetMessage(), "DerivedField 'e': the category 'u' at line 4 is listed twice.");
  }
}

TEST(TransformationLeniency, DuplicateAndUnnamedDerivedFieldsAreSkipped) {
  XmlPlatform platform;
  DocumentPtr doc = PmmlParser::ParseText(
      "<TransformationDictionary>"
      "<DerivedField name=\"d\" dataType=\"string\"><Discretize field=\"x\" "
      "defaultValue=\"first\"/></DerivedField>"
      "<DerivedField name=\"d\" dataType=\"string\"><Discretize field=\"x\" "
      "defaultValue=\"second\"/></DerivedField>"
      "<DerivedField name=\"\"/>"
      "<DerivedField name=\"e\"/>"
      "</TransformationDictionary>",
      "t.pmml");
  DictionaryReader reader;
  std::unique_ptr<TransformationDictionary> derived(
      reader.HandleTransformationDictionary(doc->getDocumentElement(), nullptr));
  EXPECT_EQ(derived->GetNumVariables(), 2);
  BaseCaseRecord in({"x"}, false);
  in.SetNumber(0, 1);
  // No SetUpDerivedCaseRecord: the record is prepared on first use.
  const ScoreCaseRecord* out = derived->GetValuesForDeriedVars(&in, nullptr);
  EXPECT_EQ(out->GetValue("d")->GetString(), "first");
  EXPECT_EQ(out->GetValue("e"), nullptr);
  EXPECT_EQ(derived->GetVariable("e")->GetValueType(), 1);
}

}  // namespace
