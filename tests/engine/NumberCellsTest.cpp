// The scorer's shortcuts for number cells must give exactly what the host's
// ParseNumber and FormatNumberView give.

#include <cstdint>
#include <cmath>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "bnscore/NumberCellReader.h"
#include "engine/DecimalText.h"
#include "engine/NumberTextCache.h"
#include "host/data/NumericValue.h"
#include "host/text/NumberText.h"

using namespace bnscore::internal;

namespace {

std::uint64_t Bits(double value) {
  std::uint64_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  return bits;
}

TEST(DecimalTextTest, PlainDecimalsReadToTheBitsOfParseNumber) {
  std::mt19937_64 random(12345);
  for (int i = 0; i < 200000; ++i) {
    std::string text = random() % 4 == 0 ? "-" : "";
    const int digits = 1 + static_cast<int>(random() % 16);
    const int point = static_cast<int>(random() % (digits + 1));  // digits before it
    for (int d = 0; d < digits; ++d) {
      if (d == point && d > 0) text += '.';
      text += static_cast<char>('0' + random() % 10);
    }
    double expected = 0.0;
    ASSERT_TRUE(ParseNumber(text, expected)) << text;
    double value = 1.5;
    if (ParsePlainDecimal(text, value)) {
      ASSERT_EQ(Bits(value), Bits(expected)) << text;
    } else {
      ASSERT_EQ(value, 1.5) << text;
      ASSERT_EQ(digits, 16) << text;  // only too many digits are left to ParseNumber
    }
  }
  double value = 0.0;
  EXPECT_TRUE(ParsePlainDecimal("-0", value));
  EXPECT_TRUE(std::signbit(value));
  for (const char* text : {"", "-", "1.", ".5", "+1", "1e5", " 1", "1 ", "--1", "1.2.3", "0x1",
                           "1234567890123456", "nan", "0.00000000000000000000001"}) {
    EXPECT_FALSE(ParsePlainDecimal(text, value)) << text;
  }
}

TEST(NumberTextCacheTest, GivesTheTextOfFormatNumberView) {
  NumberTextCache cache;
  std::mt19937_64 random(777);
  std::uniform_real_distribution<double> probability(0.0, 1.0);
  std::vector<double> values = {0.0, -0.0, 1.0, 0.1, 1e-7, 2.5e300, NumericValue::GetSysmisValue()};
  for (int i = 0; i < 20000; ++i) values.push_back(probability(random));
  // Every magnitude, and the edges of plain notation (1e-4 and 1e16).
  for (int i = 0; i < 20000; ++i) {
    const std::uint64_t bits = random();
    double value;
    std::memcpy(&value, &bits, sizeof value);
    values.push_back(value);
  }
  for (double edge : {1e-4, 1e-5, 1e15, 1e16, 123456789012345680.0, 9.999999999999999e15, 5e-324,
                      -1.7976931348623157e308, 1.0 / 3, -2.0 / 3 * 1e-4, 100.0, 1e-300, 1e300}) {
    values.push_back(edge);
    values.push_back(std::nextafter(edge, 0.0));
    values.push_back(std::nextafter(edge, 2 * edge));
  }
  values.push_back(std::nan(""));
  values.push_back(-HUGE_VAL);
  // Twice over, so that many come from the cache and collide in it.
  for (int round = 0; round < 2; ++round) {
    for (double value : values) {
      NumberTextBuffer buffer;
      const std::string expected(FormatNumberView(value, buffer));
      ASSERT_EQ(cache.Format(value), expected) << value;
      ASSERT_EQ(FormatNumberText(value, buffer), expected) << value;
    }
  }
  EXPECT_EQ(cache.Format(-0.0), "-0");
  EXPECT_EQ(cache.Format(0.0), "0");
  EXPECT_EQ(cache.Format(NumericValue::GetSysmisValue()), "");
}

TEST(NumberCellReaderTest, ReadsCellsAsTheCommandLineDoes) {
  using Kind = bnscore::NumberCellKind;
  const bnscore::NumberCellReader defaults;
  struct Case {
    const char* cell;
    Kind kind;
    double value;  // for kNumber and kNotFinite
  };
  const Case cases[] = {
      {"", Kind::kMissing, 0},
      {"NA", Kind::kMissing, 0},
      {"null", Kind::kMissing, 0},
      {"nan", Kind::kMissing, 0},
      {"42", Kind::kNumber, 42},
      {"-3.25", Kind::kNumber, -3.25},
      {" 41000 ", Kind::kNumber, 41000},
      {"+1e3", Kind::kNumber, 1000},
      {"inf", Kind::kNotFinite, INFINITY},
      {"-Infinity", Kind::kNotFinite, -INFINITY},
      {"NAN", Kind::kNotFinite, NAN},
      {"abc", Kind::kNotANumber, 0},
      {"1,5", Kind::kNotANumber, 0},
      {"na", Kind::kNotANumber, 0},
  };
  for (const Case& c : cases) {
    double value = -7.0;
    EXPECT_EQ(defaults.Read(c.cell, value), c.kind) << c.cell;
    if (c.kind == Kind::kNumber || c.kind == Kind::kNotFinite) {
      EXPECT_TRUE(value == c.value || (std::isnan(value) && std::isnan(c.value))) << c.cell;
    } else if (c.kind == Kind::kNotANumber) {
      EXPECT_EQ(value, -1.7976931348623155e308) << c.cell;
    } else {
      EXPECT_EQ(value, -7.0) << c.cell;
    }
  }
  // A list of its own: a plain decimal among the missing values wins over
  // the number, and "NA" is then a text like any other.
  const bnscore::NumberCellReader own({"-999", "?"});
  double value = 0;
  EXPECT_EQ(own.Read("-999", value), Kind::kMissing);
  EXPECT_EQ(own.Read("?", value), Kind::kMissing);
  EXPECT_EQ(own.Read("-999.0", value), Kind::kNumber);
  EXPECT_EQ(own.Read("NA", value), Kind::kNotANumber);
  EXPECT_EQ(own.Read("nan", value), Kind::kNotFinite);
}

}  // namespace
