#include <cfloat>
#include <clocale>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <locale>
#include <random>
#include <sstream>
#include <string>
#include <vector>

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
  for (const char* bad : {"", " ", "\t", "abc", "1x", "1 2", "+-1", "++1", "--1", "+", "-", "0x10",
                          "1e", "1,5", "\n1", "1\n", "1e400"}) {
    double v = 99;
    EXPECT_FALSE(ParseNumber(bad, v)) << '"' << bad << '"';
    EXPECT_EQ(v, 99) << '"' << bad << '"';
  }
}

// The bits of a double, so that -0 and 0 differ.
std::uint64_t Bits(double value) {
  std::uint64_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  return bits;
}

// How model tables were read before: an input stream of the classic
// locale, 0.0 when it reads no number.
double StreamReading(const std::string& text) {
  std::istringstream in(text);
  in.imbue(std::locale::classic());
  double value = 0.0;
  in >> value;
  return value;
}

// strtod in the C locale, when it reads the whole text (after leading
// whitespace) to a finite number.
bool StrtodReading(const std::string& text, double& value) {
  if (std::strcmp(std::setlocale(LC_NUMERIC, nullptr), "C") != 0) return false;
  char* stop = nullptr;
  value = std::strtod(text.c_str(), &stop);
  return !text.empty() && *stop == '\0' && std::isfinite(value) &&
         text.find_first_of("xXnN") == std::string::npos;  // no hex, inf or nan
}

TEST(ReadLeadingNumber, ReadsProbabilityTextsBitForBit) {
  const char* const texts[] = {
      "0.1", "0.30000000000000004", "0.12345678901234567", "0.99999999999999989",
      "0.99999999999999994", "1", "+0.25", "-0.25", "-0", "+0", "0", ".5", "5.", "00000.5", "1e-3",
      "1E-3", "2.5e+2", "1e0", "0.e5", "123456789012345678901234567890e-30",
      // subnormals and the edges of the range
      "4.9406564584124654e-324", "2.4703282292062328e-324", "2.4703282292062327e-324",
      "2.2250738585072009e-308", "2.2250738585072014e-308", "1e-320", "-1e-320", "1e-400",
      "-1e-400", "1.7976931348623157e308", "1.7976931348623158e308", "1.7976931348623159e308",
      "1e400", "-1e400", "1e99999999999999999999", "1e-99999999999999999999",
      "0e99999999999999999999", "0.000000000000000000000000000001e330",
      "100000000000000000000000000000e-340",
      // whitespace before, anything after
      " 0.5", "\t0.5", "\n\v\f\r 0.5", "0.5 ", "0.5x", "0.5;", "1.5.3", "1e5e3", "1e5.3", "0.25abc",
      "1,5", "0x1p3",
      // no number
      "", " ", "-", "+", ".", "-.", "+.", "e5", ".e5", "1e", "1e+", "1e-", "1.e", "+-1", "--1",
      "++1", "inf", "-inf", "nan", "infinity", "abc"};
  std::vector<std::string> all(std::begin(texts), std::end(texts));
  all.push_back("1" + std::string(400, '0'));            // too large, no exponent
  all.push_back("-0." + std::string(400, '0') + "1");    // too small, no exponent
  all.push_back("0." + std::string(320, '0') + "1e10");  // a subnormal
  for (const std::string& text : all) {
    const double expected = StreamReading(text);
    EXPECT_EQ(Bits(ReadLeadingNumber(text)), Bits(expected))
        << '"' << text << "\" read " << ReadLeadingNumber(text) << ", expected " << expected;
    double exact = 0;
    if (StrtodReading(text, exact)) {
      EXPECT_EQ(Bits(ReadLeadingNumber(text)), Bits(exact)) << '"' << text << '"';
    }
  }
  // A view reads no further than its end.
  EXPECT_EQ(ReadLeadingNumber(std::string_view("0.25", 3)), 0.2);
}

TEST(ReadLeadingNumber, AgreesWithTheStreamOnRandomTexts) {
  const std::string alphabet = "0123456789012345.eE+- \tx";
  std::mt19937 random(26);
  for (int n = 0; n < 200000; ++n) {
    std::string text(random() % 14, ' ');
    for (char& c : text) c = alphabet[random() % alphabet.size()];
    if (random() % 4 == 0) text += "e" + std::to_string(random() % 700);
    ASSERT_EQ(Bits(ReadLeadingNumber(text)), Bits(StreamReading(text))) << '"' << text << '"';
  }
}

// A numpunct whose decimal point is a comma, as many locales have.
struct CommaDecimal : std::numpunct<char> {
  char do_decimal_point() const override { return ','; }
};

TEST(ReadLeadingNumber, IgnoresTheGlobalLocale) {
  const std::locale before =
      std::locale::global(std::locale(std::locale::classic(), new CommaDecimal));
  const double point = ReadLeadingNumber("0.5");
  const double comma = ReadLeadingNumber("0,5");
  std::locale::global(before);
  EXPECT_EQ(point, 0.5);
  EXPECT_EQ(comma, 0.0);
}

}  // namespace
