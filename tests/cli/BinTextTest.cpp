// The bins of a discretization as check and graph show them.

#include <gtest/gtest.h>

#include "cli/BinText.h"

namespace {

enum Closure { OpenClosed, OpenOpen, ClosedOpen, ClosedClosed };

bnscore::Bin Bin(const char* value, Closure closure, const double* left, const double* right) {
  bnscore::Bin bin;
  bin.category = value;
  bin.closedLeft = closure == ClosedOpen || closure == ClosedClosed;
  bin.closedRight = closure == OpenClosed || closure == ClosedClosed;
  if (left != nullptr) bin.left = *left;
  if (right != nullptr) bin.right = *right;
  return bin;
}

TEST(BinTextTest, AdjoiningBinsReadAsAChainAndOthersBinByBin) {
  const double zero = 0.0;
  const double half = 0.5;
  const double two = 2e21;
  std::vector<bnscore::Bin> bins;
  bins = {Bin("low", OpenOpen, nullptr, &zero), Bin("mid", ClosedOpen, &zero, &half),
          Bin("high", ClosedOpen, &half, nullptr)};
  EXPECT_EQ(bnscore::cli::DescribeBins(bins), "low < 0 <= mid < 0.5 <= high");

  // A gap (0.5 to 2e21), a cut closed on both sides, an open end: no chain.
  bins = {Bin("low", OpenClosed, nullptr, &zero), Bin("mid", ClosedClosed, &zero, &half),
          Bin("high", ClosedOpen, &two, nullptr)};
  EXPECT_EQ(bnscore::cli::DescribeBins(bins), "low (-inf, 0]; mid [0, 0.5]; high [2e+21, +inf)");
  bins = {Bin("low", ClosedClosed, nullptr, &zero), Bin("high", OpenClosed, &zero, nullptr)};
  EXPECT_EQ(bnscore::cli::DescribeBins(bins), "low <= 0 < high");
  bins = {Bin("mid", OpenClosed, &zero, &half)};
  EXPECT_EQ(bnscore::cli::DescribeBins(bins), "mid (0, 0.5]");
}

}  // namespace
