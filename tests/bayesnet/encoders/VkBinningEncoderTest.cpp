#include "bayesnet/encoders/VkBinningEncoder.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <memory>
#include <random>
#include <sstream>
#include <vector>

#include <gtest/gtest.h>

#include "bayesnet/encoders/MCMV.h"
#include "host/data/NumericValue.h"
#include "host/data/StringValue.h"

namespace {

int CodeOf(const IVkEncoder& encoder, double x) {
  NumericValue value(x);
  return encoder.GetCode(&value);
}

TEST(MCMVTest, MissingValueIsTheMostNegativeDouble) {
  std::uint64_t bits;
  std::memcpy(&bits, &MCMV::gMissingValue, sizeof bits);
  EXPECT_EQ(bits, 0xFFEFFFFFFFFFFFFFull);
  EXPECT_EQ(MCMV::Missing(), -1.7976931348623157e308);
  EXPECT_TRUE(MCMV::IsMissing(-1.7976931348623157e308));
  EXPECT_FALSE(MCMV::IsMissing(0.0));
  EXPECT_FALSE(MCMV::IsMissing(NumericValue::GetSysmisValue()));
}

TEST(VkBinningEncoderTest, BinsAreClosedOnTheRight) {
  VkBinningEncoder encoder({10, 20});
  EXPECT_EQ(encoder.GetEncoderType(), 1);
  EXPECT_EQ(encoder.GetNumCategories(), 3);
  EXPECT_EQ(CodeOf(encoder, 5), 0);
  EXPECT_EQ(CodeOf(encoder, 10), 0);
  EXPECT_EQ(CodeOf(encoder, 10.5), 1);
  EXPECT_EQ(CodeOf(encoder, 20), 1);
  EXPECT_EQ(CodeOf(encoder, 25), 2);
  EXPECT_EQ(CodeOf(encoder, MCMV::Missing()), 0);
  EXPECT_EQ(CodeOf(encoder, std::numeric_limits<double>::quiet_NaN()), 2);
  EXPECT_EQ(CodeOf(encoder, -std::numeric_limits<double>::infinity()), 0);
  EXPECT_EQ(CodeOf(encoder, std::numeric_limits<double>::infinity()), 2);

  StringValue text("15");
  EXPECT_EQ(encoder.GetCode(&text), -1);
  EXPECT_EQ(encoder.GetCode(static_cast<const ScoreValue*>(nullptr)), -1);

  EXPECT_EQ(encoder.GetCode(std::string("20")), 1);
  EXPECT_EQ(encoder.GetCode(std::string(" 20.5 ")), 2);
  EXPECT_EQ(encoder.GetCode(std::string("abc")), 0);  // read as the system-missing value

  NumericValue fifteen(15);
  EXPECT_EQ(encoder.AddCategory(&fifteen), 1);
  EXPECT_EQ(encoder.AddCategory(std::string("30")), 2);
  EXPECT_EQ(encoder.GetNumCategories(), 3);

  EXPECT_EQ(encoder.GetCategoryString(0), "");
  EXPECT_EQ(encoder.GetCategoryValue(0), -1.7976931348623157e308);
  encoder.SetLabels({"low", "mid", "high"});
  encoder.SetLabel(0, "x");
  EXPECT_EQ(encoder.GetLabels(), nullptr);
}

TEST(VkBinningEncoderTest, DisplayAndClone) {
  auto encoder = std::make_unique<VkBinningEncoder>(std::vector<double>{10, 20.5});
  std::ostringstream os;
  encoder->Display(os);
  EXPECT_EQ(os.str(), "\tVkBinningEncoder: number of bins = 3\n\t\tCutpoints: 10 20.5 \n");

  std::unique_ptr<IVkEncoder> copy(encoder->Clone());
  encoder.reset();
  EXPECT_EQ(copy->GetNumCategories(), 3);
  EXPECT_EQ(CodeOf(*copy, 20.5), 1);
  EXPECT_EQ(CodeOf(*copy, 21), 2);
}

// The binary search that defines the bins, step for step.
int SearchedBin(const std::vector<double>& cuts, double x) {
  int lo = 0;
  int hi = static_cast<int>(cuts.size()) - 1;
  int mid = 0;
  double last = 0.0;
  while (lo <= hi) {
    mid = (lo + hi) / 2;
    last = cuts[mid];
    if (x == last) return mid;
    if (last > x) {
      hi = mid - 1;
    } else {
      lo = mid + 1;
    }
  }
  return last > x ? mid : mid + 1;
}

// The encoder's quicker paths (a count for a few cut points, a branch-free
// search for more) give the search's bin for every number, and cut points
// that do not ascend strictly keep the search itself.
TEST(VkBinningEncoderTest, EveryPathGivesTheSearchsBin) {
  const double inf = std::numeric_limits<double>::infinity();
  std::mt19937_64 random(7);
  std::vector<std::vector<double>> lists = {{0.0},
                                            {-0.0, 0.0, 1.0},
                                            {0.0, -0.0},
                                            {1, 1, 1},
                                            {3, 1, 2},
                                            {-inf, 0, inf},
                                            {std::nan("")},
                                            {1, std::nan(""), 3},
                                            {5, 4, 3, 2, 1, 0, -1, -2, -3, -4, -5, -6}};
  for (int count = 1; count <= 40; ++count) {
    std::vector<double> cuts;
    for (int i = 0; i < count; ++i) cuts.push_back(i * 1.5 - 7);
    lists.push_back(cuts);
    cuts[count / 2] = cuts[(count - 1) / 2];  // a repeated cut point
    lists.push_back(cuts);
  }
  // Cut points spread unevenly (most in one bucket of the index), and a
  // span too wide for a double.
  lists.push_back({0, 1e-9, 2e-9, 3e-9, 4e-9, 5e-9, 6e-9, 1e6});
  lists.push_back({-1e308, -1, 0, 1, 2, 1e308});
  lists.push_back({-3, -2.5, 0, 0.25, 0.5, 40, 41, 41.5, 79});
  for (const std::vector<double>& cuts : lists) {
    VkBinningEncoder encoder(cuts);
    std::vector<double> xs = {std::nan(""), inf, -inf, -0.0, 0.0, MCMV::Missing()};
    for (double cut : cuts) {
      xs.push_back(cut);
      xs.push_back(std::nextafter(cut, -inf));
      xs.push_back(std::nextafter(cut, inf));
    }
    for (int i = 0; i < 50; ++i) xs.push_back(static_cast<double>(random() % 8000) / 100.0 - 40);
    for (double x : xs) {
      ASSERT_EQ(CodeOf(encoder, x), SearchedBin(cuts, x)) << cuts.size() << " cuts, x " << x;
    }
  }
}

}  // namespace
