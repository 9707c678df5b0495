#include "bayesnet/encoders/VkCatNumericEncoder.h"

#include <cmath>
#include <limits>
#include <map>
#include <vector>
#include <memory>
#include <sstream>

#include <gtest/gtest.h>

#include "host/data/NumericValue.h"
#include "host/data/StringValue.h"

namespace {

int CodeOf(const IVkEncoder& encoder, double x) {
  NumericValue value(x);
  return encoder.GetCode(&value);
}

std::string DisplayOf(const IVkEncoder& encoder) {
  std::ostringstream os;
  encoder.Display(os);
  return os.str();
}

TEST(VkCatNumericEncoderTest, CodesFollowFirstAddition) {
  VkCatNumericEncoder encoder;
  EXPECT_EQ(encoder.GetEncoderType(), 2);
  NumericValue three(3);
  EXPECT_EQ(encoder.AddCategory(&three), 0);
  EXPECT_EQ(encoder.AddCategory(std::string("1")), 1);
  EXPECT_EQ(encoder.AddCategory(&three), 0);
  StringValue two("2");  // read through GetDouble whatever its type
  EXPECT_EQ(encoder.AddCategory(&two), 2);
  EXPECT_EQ(encoder.GetNumCategories(), 3);
  EXPECT_EQ(encoder.GetCategoryValue(0), 3);
  EXPECT_EQ(encoder.GetCategoryValue(1), 1);
  EXPECT_EQ(encoder.GetCategoryValue(2), 2);
  EXPECT_EQ(encoder.GetCategoryValue(-1), NumericValue::GetSysmisValue());
  EXPECT_EQ(encoder.GetCategoryValue(3), NumericValue::GetSysmisValue());
  EXPECT_EQ(encoder.GetCategoryString(0), "");

  EXPECT_EQ(CodeOf(encoder, 1), 1);
  EXPECT_EQ(CodeOf(encoder, 1.0000001), -1);
  EXPECT_EQ(encoder.GetCode(std::string(" 2 ")), 2);
  EXPECT_EQ(encoder.GetCode(std::string("4")), -1);
  EXPECT_EQ(encoder.GetCode(&two), 2);
  EXPECT_EQ(encoder.GetCode(static_cast<const ScoreValue*>(nullptr)), -1);
  EXPECT_EQ(encoder.GetNumCategories(), 3);  // lookups add nothing

  EXPECT_EQ(DisplayOf(encoder),
            "\tVkCatNumericEncoder: Last code = 2\n\t\tNumeric values of categories: 3 1 2 \n");
}

TEST(VkCatNumericEncoderTest, ZeroAndNegativeZeroAreOneCategory) {
  VkCatNumericEncoder encoder;
  EXPECT_EQ(encoder.AddCategory(std::string("0")), 0);
  EXPECT_EQ(encoder.AddCategory(std::string("-0")), 0);
  EXPECT_EQ(CodeOf(encoder, -0.0), 0);
  EXPECT_EQ(encoder.GetNumCategories(), 1);
}

TEST(VkCatNumericEncoderTest, DisplayBreaksAfterEverySeventhValue) {
  VkCatNumericEncoder encoder;
  EXPECT_EQ(DisplayOf(encoder),
            "\tVkCatNumericEncoder: Last code = -1\n\t\tNumeric values of categories: \n");
  for (int i = 1; i <= 7; ++i) encoder.AddCategory(std::to_string(i));
  EXPECT_EQ(DisplayOf(encoder),
            "\tVkCatNumericEncoder: Last code = 6\n"
            "\t\tNumeric values of categories: 1 2 3 4 5 6 7 \n\n");
  encoder.AddCategory(std::string("8.5"));
  EXPECT_EQ(DisplayOf(encoder),
            "\tVkCatNumericEncoder: Last code = 7\n"
            "\t\tNumeric values of categories: 1 2 3 4 5 6 7 \n8.5 \n");
}

TEST(VkCatNumericEncoderTest, LabelsAndClone) {
  auto encoder = std::make_unique<VkCatNumericEncoder>();
  for (const char* text : {"3", "1", "2"}) encoder->AddCategory(std::string(text));
  ASSERT_NE(encoder->GetLabels(), nullptr);
  EXPECT_TRUE(encoder->GetLabels()->empty());
  encoder->SetLabel(5, "ignored");
  EXPECT_EQ(*encoder->GetLabels(), (std::vector<std::string>{"", "", ""}));
  encoder->SetLabel(1, "x");
  EXPECT_EQ(*encoder->GetLabels(), (std::vector<std::string>{"", "x", ""}));
  encoder->SetLabels({"p", "q"});
  EXPECT_EQ(*encoder->GetLabels(), (std::vector<std::string>{"p", "q"}));

  std::unique_ptr<IVkEncoder> copy(encoder->Clone());
  encoder.reset();
  EXPECT_TRUE(copy->GetLabels()->empty());
  EXPECT_EQ(copy->GetNumCategories(), 3);
  EXPECT_EQ(CodeOf(*copy, 3), 0);
  EXPECT_EQ(CodeOf(*copy, 2), 2);
  EXPECT_EQ(copy->GetCategoryValue(1), 1);
  // The copy goes on numbering after the categories it copied.
  EXPECT_EQ(copy->AddCategory(std::string("9")), 3);
}

// Lookups give the ordered map's answers for any number of categories
// (a plain count up to eight keys, a halving search beyond): -0.0 finds
// 0.0, and a NaN, which equals nothing, finds the smallest key, since
// std::map::find holds neither comparison against it.
TEST(VkCatNumericEncoderTest, LookupsGiveTheMapsCodes) {
  const double inf = std::numeric_limits<double>::infinity();
  const std::map<double, int> small = {{3.0, 0}, {1.0, 1}, {2.0, 2}};
  ASSERT_EQ(small.find(std::nan(""))->first, 1.0);

  const std::vector<double> numbers = {3,  1, 2,   0.0,    -inf, 7.5, -2,
                                       11, 4, 100, 1e-300, -5,   inf, -0.0};
  std::vector<double> probes = numbers;
  probes.insert(probes.end(), {-0.0, std::nan(""), 2.5, -1e300, 1e300, 12, -6});
  for (std::size_t count = 1; count <= numbers.size(); ++count) {
    VkCatNumericEncoder encoder;
    std::map<double, int> reference;
    for (std::size_t i = 0; i < count; ++i) {
      const NumericValue value(numbers[i]);
      encoder.AddCategory(&value);
      reference.emplace(numbers[i], static_cast<int>(reference.size()));
    }
    std::unique_ptr<IVkEncoder> clone(encoder.Clone());
    for (double x : probes) {
      auto found = reference.find(x);
      const int expected = found == reference.end() ? -1 : found->second;
      EXPECT_EQ(CodeOf(encoder, x), expected) << count << " categories, x " << x;
      EXPECT_EQ(CodeOf(*clone, x), expected) << count << " categories, clone, x " << x;
    }
  }

  // A NaN key is equivalent to every number: the map finds it for all.
  VkCatNumericEncoder nanFirst;
  const NumericValue nan(std::nan(""));
  EXPECT_EQ(nanFirst.AddCategory(&nan), 0);
  EXPECT_EQ(nanFirst.AddCategory(std::string("1")), 0);
  const std::map<double, int> nanReference = {{std::nan(""), 0}};
  for (double x : {1.0, -inf, std::nan("")}) {
    ASSERT_NE(nanReference.find(x), nanReference.end());
    EXPECT_EQ(CodeOf(nanFirst, x), 0) << x;
  }
}

}  // namespace
