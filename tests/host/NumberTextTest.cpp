#include <cfloat>
#include <cmath>
#include <limits>
#include <string>

#include <gtest/gtest.h>

#include "host/data/NumericValue.h"
#include "host/text/NumberText.h"

namespace {

std::string Text(double value) { return NumberToString(value); }

TEST(NumberText, FixedAndScientificBoundaries) {
  EXPECT_EQ(Text(3), "3");
  EXPECT_EQ(Text(2.5), "2.5");
  EXPECT_EQ(Text(-2.5), "-2.5");
  EXPECT_EQ(Text(100000), "100000");
  EXPECT_EQ(Text(0), "0");
  EXPECT_EQ(Text(-0.0), "-0");
  // The decimal exponent of the first digit must lie in (-5, 16).
  EXPECT_EQ(Text(0.0001), "0.0001");
  EXPECT_EQ(Text(0.00012345), "0.00012345");
  EXPECT_EQ(Text(0.00001), "1e-05");
  EXPECT_EQ(Text(-0.000015), "-1.5e-05");
  EXPECT_EQ(Text(1e15), "1000000000000000");
  EXPECT_EQ(Text(1234567890123456.0), "1234567890123456");
  EXPECT_EQ(Text(1e16), "1e+16");
  EXPECT_EQ(Text(1.5e16), "1.5e+16");
  EXPECT_EQ(Text(123.456), "123.456");
  EXPECT_EQ(Text(1e100), "1e+100");
  EXPECT_EQ(Text(1.25e-100), "1.25e-100");
}

TEST(NumberText, ShortestDigitsRoundTrip) {
  EXPECT_EQ(Text(0.1 + 0.2), "0.30000000000000004");
  EXPECT_EQ(Text(0.1), "0.1");
  EXPECT_EQ(Text(1.0 / 3.0), "0.3333333333333333");
  EXPECT_EQ(Text(DBL_MAX), "1.7976931348623157e+308");
  EXPECT_EQ(Text(-DBL_MAX), "-1.7976931348623157e+308");
  EXPECT_EQ(Text(DBL_MIN), "2.2250738585072014e-308");
  EXPECT_EQ(Text(std::numeric_limits<double>::denorm_min()), "5e-324");
  EXPECT_EQ(Text(-std::numeric_limits<double>::denorm_min()), "-5e-324");

  for (double v : {0.1 + 0.2, 1.0 / 3.0, DBL_MAX, DBL_MIN, 5e-324, 123456.789e-7, 9.999e15}) {
    double back = 0;
    ASSERT_TRUE(ParseNumber(Text(v), back)) << Text(v);
    EXPECT_EQ(back, v) << Text(v);
  }
}

TEST(NumberText, SpecialValues) {
  EXPECT_EQ(Text(std::numeric_limits<double>::quiet_NaN()), "nan");
  EXPECT_EQ(Text(-std::numeric_limits<double>::quiet_NaN()), "nan");
  EXPECT_EQ(Text(std::numeric_limits<double>::infinity()), "inf");
  EXPECT_EQ(Text(-std::numeric_limits<double>::infinity()), "-inf");
  EXPECT_EQ(Text(NumericValue::GetSysmisValue()), "");
  // The plug-in's missing value is a different number and has a text.
  EXPECT_EQ(Text(-1.7976931348623157e308), "-1.7976931348623157e+308");
}

TEST(NumberText, WritesIntoTheBuffer) {
  NumberTextBuffer buffer;
  std::size_t n = FormatNumber(-1.2345678901234568e-300, buffer);
  EXPECT_EQ(std::string(buffer.data, n), "-1.2345678901234568e-300");
  EXPECT_EQ(FormatNumberView(0.5, buffer), "0.5");
  EXPECT_EQ(FormatNumber(NumericValue::GetSysmisValue(), buffer), 0u);
}

TEST(ParseNumber, AcceptsDecimalTextWithBlanksAndPlus) {
  double v = 0;
  EXPECT_TRUE(ParseNumber("42", v));
  EXPECT_EQ(v, 42);
  EXPECT_TRUE(ParseNumber(" \t-1.5e3\t ", v));
  EXPECT_EQ(v, -1500);
  EXPECT_TRUE(ParseNumber("+7", v));
  EXPECT_EQ(v, 7);
  EXPECT_TRUE(ParseNumber(".5", v));
  EXPECT_EQ(v, 0.5);
  EXPECT_TRUE(ParseNumber("5.", v));
  EXPECT_EQ(v, 5);
  EXPECT_TRUE(ParseNumber("inf", v));
  EXPECT_TRUE(std::isinf(v));
  EXPECT_TRUE(ParseNumber("-0", v));
  EXPECT_TRUE(std::signbit(v));
}

TEST(ParseNumber, RejectsEverythingElseAndKeepsTheValue) {
  for (const char* bad : {"", " ", "\t", "abc", "1x", "1 2", "+-1", "++1", "--1", "+", "-",
                          "0x10", "1e", "1,5", "\n1", "1\n", "1e400"}) {
    double v = 99;
    EXPECT_FALSE(ParseNumber(bad, v)) << '"' << bad << '"';
    EXPECT_EQ(v, 99) << '"' << bad << '"';
  }
}

}  // namespace
