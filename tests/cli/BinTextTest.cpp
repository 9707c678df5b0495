// The bins of a discretization as check and graph show them.

#include <gtest/gtest.h>

#include "cli/BinText.h"

namespace {

DiscretizeBin Bin(const char* value, DiscretizeBin::Closure closure, const double* left,
                  const double* right) {
  DiscretizeBin bin;
  bin.binValue = value;
  bin.hasBinValue = true;
  bin.closure = closure;
  bin.hasLeftMargin = left != nullptr;
  bin.leftMargin = left != nullptr ? *left : 0.0;
  bin.hasRightMargin = right != nullptr;
  bin.rightMargin = right != nullptr ? *right : 0.0;
  return bin;
}

TEST(BinTextTest, AdjoiningBinsReadAsAChainAndOthersBinByBin) {
  const double zero = 0.0;
  const double half = 0.5;
  const double two = 2e21;
  Discretization bins;
  bins.field = "x";
  bins.bins = {Bin("low", DiscretizeBin::OpenOpen, nullptr, &zero),
               Bin("mid", DiscretizeBin::ClosedOpen, &zero, &half),
               Bin("high", DiscretizeBin::ClosedOpen, &half, nullptr)};
  EXPECT_EQ(bnscore::cli::DescribeBins(bins), "low < 0 <= mid < 0.5 <= high");

  // A gap (0.5 to 2e21), a cut closed on both sides, an open end: no chain.
  bins.bins = {Bin("low", DiscretizeBin::OpenClosed, nullptr, &zero),
               Bin("mid", DiscretizeBin::ClosedClosed, &zero, &half),
               Bin("high", DiscretizeBin::ClosedOpen, &two, nullptr)};
  EXPECT_EQ(bnscore::cli::DescribeBins(bins),
            "low (-inf, 0]; mid [0, 0.5]; high [2e+21, +inf)");
  bins.bins = {Bin("low", DiscretizeBin::ClosedClosed, nullptr, &zero),
               Bin("high", DiscretizeBin::OpenClosed, &zero, nullptr)};
  EXPECT_EQ(bnscore::cli::DescribeBins(bins), "low <= 0 < high");
  bins.bins = {Bin("mid", DiscretizeBin::OpenClosed, &zero, &half)};
  EXPECT_EQ(bnscore::cli::DescribeBins(bins), "mid (0, 0.5]");
}

}  // namespace
