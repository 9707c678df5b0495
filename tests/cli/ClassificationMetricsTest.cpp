// The figures that the labelled file of EvaluateTest does not reach:
// undefined ratios, a probability of 0 for the actual category, ties and
// single-class inputs of the AUC, more than two categories.

#include "cli/ClassificationMetrics.h"

#include <cmath>

#include <gtest/gtest.h>

using namespace bnscore::cli;

namespace {

TEST(ClassificationMetricsTest, UndefinedFiguresAreNanAndZeroProbabilitiesAreClipped) {
  ClassificationMetrics none(2);
  EXPECT_TRUE(std::isnan(none.GetAccuracy()));
  EXPECT_TRUE(std::isnan(none.GetLogLoss()));
  EXPECT_TRUE(std::isnan(none.GetBrierScore()));
  EXPECT_TRUE(std::isnan(none.GetRocAuc()));
  EXPECT_TRUE(std::isnan(none.GetF1(0)));

  // Three categories, category 2 never predicted nor seen; one record
  // whose actual category got probability 0.
  ClassificationMetrics three(3);
  three.Add(0, 1, {0.0, 1.0, 0.0});
  three.Add(1, 1, {0.25, 0.5, 0.25});
  EXPECT_EQ(three.GetAccuracy(), 0.5);
  EXPECT_TRUE(std::isnan(three.GetPrecision(0)));  // never predicted
  EXPECT_EQ(three.GetRecall(0), 0.0);
  EXPECT_EQ(three.GetF1(0), 0.0);  // 2*0 / (0 + 1)
  EXPECT_TRUE(std::isnan(three.GetF1(2)));
  EXPECT_EQ(three.GetPrecision(1), 0.5);
  // -(ln 1e-15 + ln 0.5) / 2 = (34.538776394910684 + 0.6931471805599453) / 2
  EXPECT_DOUBLE_EQ(three.GetLogLoss(), 17.615961787735315);
  // (1 + 1 + 0) and (0.0625 + 0.25 + 0.0625), halved.
  EXPECT_DOUBLE_EQ(three.GetBrierScore(), 1.1875);
  EXPECT_TRUE(std::isnan(three.GetRocAuc()));  // only for two categories
}

TEST(ClassificationMetricsTest, RocAucCountsTiesAsHalfAndNeedsBothClasses) {
  ClassificationMetrics metrics(2);
  metrics.Add(1, 1, {0.2, 0.8});
  metrics.Add(0, 1, {0.2, 0.8});  // tied with a positive
  metrics.Add(0, 0, {0.9, 0.1});
  // Pairs (positive, negative): (0.8, 0.8) 0.5, (0.8, 0.1) 1: 1.5 of 2.
  EXPECT_EQ(metrics.GetRocAuc(), 0.75);

  ClassificationMetrics onlyNegatives(2);
  onlyNegatives.Add(0, 0, {0.9, 0.1});
  EXPECT_TRUE(std::isnan(onlyNegatives.GetRocAuc()));
}

}  // namespace
