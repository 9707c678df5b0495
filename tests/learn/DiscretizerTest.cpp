#include <cmath>

#include <gtest/gtest.h>

#include "learn/Discretizer.h"

namespace bnscore::learn {
namespace {

// Values 1..n, value v of class classOf(v), one row each, two classes.
template <class F>
ValueCounts OneRowEach(int n, F classOf) {
  ValueCounts column;
  column.classes = 2;
  for (int v = 1; v <= n; ++v) {
    column.values.push_back(v);
    column.counts.push_back(classOf(v) == 0 ? 1 : 0);
    column.counts.push_back(classOf(v) == 1 ? 1 : 0);
  }
  return column;
}

// Worked by hand: gain = Ent(S) - E(best split); threshold =
// (log2(N - 1) + log2(3^k - 2) - k·Ent(S) + k1·Ent(S1) + k2·Ent(S2)) / N.
TEST(MdlCuts, CutsWhereTheClassesSeparateAndStopsWhereTheGainDoesNotPay) {
  // 1,2,3 a; 4,5,6 b: gain 1 against (log2 5 + log2 7 - 2) / 6 = 0.52.
  EXPECT_EQ(MdlCuts(OneRowEach(6, [](int v) { return v > 3; })), std::vector<double>{3.5});
  // a b a b: the best split (after 1) gains 0.311 against 1.057.
  EXPECT_TRUE(MdlCuts(OneRowEach(4, [](int v) { return v % 2 == 0; })).empty());
  // 10 a, 10 b, 10 a: the first split (after 10) gains 0.2516 against
  // (log2 29 + 2.9708) / 30 = 0.261: no cut at all.
  EXPECT_TRUE(MdlCuts(OneRowEach(30, [](int v) { return v > 10 && v <= 20; })).empty());
  // The same with 20 each: 0.2516 against 0.1476, then the right part
  // separates perfectly (1 against 0.152): two cuts, in order.
  EXPECT_EQ(MdlCuts(OneRowEach(60, [](int v) { return v > 20 && v <= 40; })),
            (std::vector<double>{20.5, 40.5}));
  // One class only: nothing to gain.
  EXPECT_TRUE(MdlCuts(OneRowEach(5, [](int) { return 0; })).empty());
}

TEST(CutBetween, SeparatesEvenAdjacentDoubles) {
  EXPECT_EQ(CutBetween(1.0, 2.0), 1.5);
  const double next = std::nextafter(1.0, 2.0);
  const double cut = CutBetween(1.0, next);
  EXPECT_TRUE(1.0 <= cut && cut < next);
  EXPECT_EQ(CutBetween(-3.0, -1.0), -2.0);
}

TEST(UnsupervisedCuts, EqualWidthAndEqualFrequency) {
  const ValueCounts zeroToTen = [] {
    ValueCounts column;
    column.classes = 1;
    for (int v = 0; v <= 10; ++v) {
      column.values.push_back(v);
      column.counts.push_back(1);
    }
    return column;
  }();
  // Edges 2.5, 5, 7.5, each moved half-way between the values around it.
  EXPECT_EQ(EqualWidthCuts(zeroToTen, 4), (std::vector<double>{2.5, 5.5, 7.5}));
  // More bins than values: one cut between each pair at most.
  EXPECT_EQ(EqualWidthCuts(zeroToTen, 1000).size(), 10u);

  ValueCounts heavyEnds;
  heavyEnds.classes = 1;
  heavyEnds.values = {1, 2, 3, 4};
  heavyEnds.counts = {3, 1, 1, 3};  // 8 rows: half reached after value 2
  EXPECT_EQ(EqualFrequencyCuts(heavyEnds, 2), std::vector<double>{2.5});
  // Four bins: 2, 4, 6 of 8 reached after values 1, 2 and 4 — but no cut
  // after the last value.
  EXPECT_EQ(EqualFrequencyCuts(heavyEnds, 4), (std::vector<double>{1.5, 2.5}));
}

}  // namespace
}  // namespace bnscore::learn
