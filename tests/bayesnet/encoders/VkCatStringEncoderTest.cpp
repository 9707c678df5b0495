#include "bayesnet/encoders/VkCatStringEncoder.h"

#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "bayesnet/encoders/MCMV.h"
#include "host/data/NumericValue.h"
#include "host/data/StringValue.h"

namespace {

int CodeOf(const IVkEncoder& encoder, const ScoreValue& value) { return encoder.GetCode(&value); }

std::string DisplayOf(const IVkEncoder& encoder) {
  std::ostringstream os;
  encoder.Display(os);
  return os.str();
}

std::unique_ptr<VkCatStringEncoder> MakeBac() {
  auto encoder = std::make_unique<VkCatStringEncoder>();
  EXPECT_EQ(encoder->AddCategory(std::string("b")), 0);
  StringValue a("a");
  EXPECT_EQ(encoder->AddCategory(&a), 1);
  EXPECT_EQ(encoder->AddCategory(std::string("b")), 0);
  EXPECT_EQ(encoder->AddCategory(std::string("c")), 2);
  return encoder;
}

TEST(VkCatStringEncoderTest, CodesAndExactMatching) {
  auto encoder = MakeBac();
  EXPECT_EQ(encoder->GetEncoderType(), 3);
  EXPECT_EQ(encoder->GetNumCategories(), 3);
  EXPECT_EQ(encoder->GetCategoryString(1), "a");
  EXPECT_EQ(encoder->GetCategoryString(3), "");
  EXPECT_EQ(encoder->GetCategoryString(-1), "");
  EXPECT_EQ(encoder->GetCategoryValue(0), MCMV::Missing());

  EXPECT_EQ(encoder->GetCode(std::string("c")), 2);
  EXPECT_EQ(encoder->GetCode(std::string("B")), -1);
  EXPECT_EQ(encoder->GetCode(std::string(" b")), -1);
  EXPECT_EQ(CodeOf(*encoder, StringValue("a")), 1);
  EXPECT_EQ(CodeOf(*encoder, StringValue("a ")), -1);
  EXPECT_EQ(encoder->GetCode(static_cast<const ScoreValue*>(nullptr)), -1);
  EXPECT_EQ(encoder->GetNumCategories(), 3);  // lookups add nothing
}

TEST(VkCatStringEncoderTest, NumericValuesMatchThroughTheirText) {
  VkCatStringEncoder encoder;
  EXPECT_EQ(encoder.AddCategory(std::string("3")), 0);
  NumericValue twoAndHalf(2.5);
  EXPECT_EQ(encoder.AddCategory(&twoAndHalf), 1);  // stored as "2.5"
  EXPECT_EQ(encoder.GetCategoryString(1), "2.5");
  EXPECT_EQ(CodeOf(encoder, NumericValue(3)), 0);
  EXPECT_EQ(CodeOf(encoder, NumericValue(2.5)), 1);
  EXPECT_EQ(CodeOf(encoder, NumericValue(3.0000001)), -1);
}

TEST(VkCatStringEncoderTest, Display) {
  VkCatStringEncoder empty;
  EXPECT_EQ(empty.GetNumCategories(), 0);
  EXPECT_EQ(DisplayOf(empty), "\tVkCatStringEncoder object:  Last code = -1\n");
  EXPECT_EQ(DisplayOf(*MakeBac()),
            "\tVkCatStringEncoder object:  Last code = 2\n"
            "\t\t0\t\tb\n"
            "\t\t1\t\ta\n"
            "\t\t2\t\tc\n");
}

TEST(VkCatStringEncoderTest, LabelsAndClone) {
  auto encoder = MakeBac();
  // The clone must hold its own texts: it outlives the original.
  std::unique_ptr<IVkEncoder> copy(encoder->Clone());
  encoder.reset();
  EXPECT_TRUE(copy->GetLabels()->empty());
  EXPECT_EQ(copy->GetNumCategories(), 3);
  EXPECT_EQ(copy->GetCode(std::string("a")), 1);
  EXPECT_EQ(copy->GetCategoryString(0), "b");
  EXPECT_EQ(copy->GetCategoryString(2), "c");
  EXPECT_EQ(copy->AddCategory(std::string("d")), 3);
  EXPECT_EQ(DisplayOf(*copy),
            "\tVkCatStringEncoder object:  Last code = 3\n"
            "\t\t0\t\tb\n\t\t1\t\ta\n\t\t2\t\tc\n\t\t3\t\td\n");
}

// Whatever the number of categories, an encoder (before its short-text
// table is built, after, and once a category is added late) and its clone
// give every text the code the ordered map gives it: texts of 8 and 9
// bytes, texts that differ only in byte 9, the empty text, texts with a
// zero byte among them, and texts of every length up to 8 that differ in
// one byte only.
TEST(VkCatStringEncoderTest, LookupsGiveTheMapsCodes) {
  using namespace std::string_literals;
  const std::vector<std::string> texts = {
      "a",         ""s,    "a\0"s,  "\0"s,   "abcdefgh", "abcdefgi", "abcdefghX",
      "abcdefghY", "b",    "B",     "ab",    "a ",       "v10",      "v1",
      "abcd",      "abce", "abcde", "abXde", "abcdeXg",  "abcdef"};
  std::vector<std::string> probes = texts;
  probes.insert(probes.end(), {"c", "abcdefg", "abcdefghZ", "a\0\0"s, "abcdefghXY", "v", "abc",
                               "abXd", "abcXe", "abcdeYg", "abcdeg", "Xbcde", "abcd\0"s});
  for (std::size_t count = 1; count <= texts.size(); ++count) {
    VkCatStringEncoder encoder;
    std::map<std::string, int> reference;
    for (std::size_t i = 0; i < count; ++i) {
      encoder.AddCategory(texts[i]);
      reference.emplace(texts[i], static_cast<int>(i));
    }
    std::unique_ptr<IVkEncoder> clone(encoder.Clone());  // with its short-text table
    for (const std::string& probe : probes) {
      auto found = reference.find(probe);
      const int expected = found == reference.end() ? -1 : found->second;
      const StringValue value(probe);
      EXPECT_EQ(CodeOf(encoder, value), expected) << count << " categories";
      EXPECT_EQ(encoder.CodeOfText(probe), expected) << count << " categories, inline, no table";
      EXPECT_EQ(clone->GetCode(probe), expected) << count << " categories, clone";
    }
    encoder.BuildSlots();
    for (const std::string& probe : probes) {
      auto found = reference.find(probe);
      const int expected = found == reference.end() ? -1 : found->second;
      EXPECT_EQ(encoder.CodeOfText(probe), expected) << count << " categories, inline";
    }
    // A category added once the table is built is found all the same.
    EXPECT_EQ(encoder.CodeOfText("zz"), -1);
    const int late = encoder.AddCategory(std::string("zz"));
    EXPECT_EQ(late, static_cast<int>(count));
    EXPECT_EQ(encoder.CodeOfText("zz"), late) << count << " categories, added late";
  }
}

// The short-text table for categories of one length (as the column coder
// reads it) and for many categories of mixed lengths: every probe gets the
// ordered map's code, also probes that pack like a category but are longer
// or shorter (trailing zero bytes), probes of zero bytes only, and probes
// of other lengths. Categories that pack alike, and more categories than
// the table takes, still get the map's codes.
TEST(VkCatStringEncoderTest, ShortTextTableGivesTheMapsCodes) {
  using namespace std::string_literals;
  auto check = [](const std::vector<std::string>& categories, const std::vector<std::string>& extra,
                  std::size_t uniform) {
    VkCatStringEncoder encoder;
    std::map<std::string, int> reference;
    for (const std::string& text : categories) {
      reference.emplace(text, encoder.AddCategory(text));
    }
    encoder.BuildSlots();
    EXPECT_EQ(encoder.UniformLength(), uniform) << categories.size() << " categories";
    std::vector<std::string> probes = categories;
    probes.insert(probes.end(), extra.begin(), extra.end());
    for (const std::string& text : categories) {
      probes.push_back(text + "\0"s);
      if (!text.empty()) probes.push_back(text.substr(0, text.size() - 1));
      if (!text.empty()) probes.push_back(text.substr(1) + "#");
    }
    for (const std::string& probe : probes) {
      auto found = reference.find(probe);
      const int expected = found == reference.end() ? -1 : found->second;
      EXPECT_EQ(encoder.CodeOfText(probe), expected) << categories.size() << " categories";
      if (uniform == 2 && probe.size() == 2) {
        EXPECT_EQ(encoder.Uniform().Code<2>(probe.data()), expected) << "uniform";
      }
      if (uniform == 8 && probe.size() == 8) {
        EXPECT_EQ(encoder.Uniform().Code<8>(probe.data()), expected) << "uniform";
      }
    }
  };
  // Two bytes each, "\0\0" among them; probes of zero bytes.
  std::vector<std::string> two;
  for (int i = 0; i < 40; ++i)
    two.push_back(std::string("v") + static_cast<char>(i < 26 ? 'a' + i : 'A' + i - 26));
  two.push_back("\0\0"s);
  check(two, {"\0"s, "\0\0\0"s, "v", "va\0"s, "zz", ""}, 2);
  check({"v0"s, "v1"s}, {"\0\0"s, "v2", "0v", "v0v0"}, 2);
  // Eight bytes each.
  std::vector<std::string> eight;
  for (int i = 0; i < 50; ++i) eight.push_back("cat-" + std::to_string(1000 + i));
  check(eight, {"cat-0999", "cat-1050", "cat-100", "cat-10000"}, 8);
  // Mixed lengths, 1 to 8 bytes and longer.
  std::vector<std::string> mixed;
  for (int i = 0; i < 60; ++i)
    mixed.push_back(
        std::string(static_cast<std::size_t>(i % 9 + 1), static_cast<char>('A' + i % 26)) +
        std::to_string(i));
  check(mixed, {"A", "A0\0"s, "\0"s}, 0);
  // Categories that pack alike ("a" and "a\0"): no table, the map's codes.
  check({"a", "a\0"s, "b"}, {"a\0\0"s, "c"}, 0);
  // More categories than the table takes.
  std::vector<std::string> many;
  for (int i = 0; i < 300; ++i) many.push_back("k" + std::to_string(i));
  check(many, {"k300", "k", "k-1"}, 0);
}

}  // namespace
