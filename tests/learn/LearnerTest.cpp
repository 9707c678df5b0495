#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <random>
#include <string>

#include <gtest/gtest.h>

#include "bnscore/learn.h"
#include "formats/Network.h"
#include "learn/FamilyCounts.h"
#include "learn/Learner.h"
#include "learn/StructureSearch.h"

namespace bnscore::learn {
namespace {

formats::Network LearnText(const std::string& csv, const LearnOptions& options,
                           std::vector<std::string>* notes = nullptr) {
  std::vector<std::string> ignored;
  return LearnNetwork(DataSource::Text(csv, "<data>"), options, notes ? *notes : ignored);
}

const formats::Variable& Get(const formats::Network& network, const std::string& name) {
  const long at = network.Find(name);
  EXPECT_GE(at, 0) << name;
  return network.variables.at(static_cast<std::size_t>(at < 0 ? 0 : at));
}

std::vector<std::string> ParentNames(const formats::Network& network, const std::string& name) {
  std::vector<std::string> names;
  for (std::size_t p : Get(network, name).parents) names.push_back(network.variables[p].name);
  return names;
}

// Counted by hand: rows with the target missing are left out of every
// table with the target; a missing X only out of X's table.
TEST(Learner, CountsAndEstimatesOfASmallTable) {
  const std::string csv =
      "T,X,Y,Z,V, W\n"
      "a,r,1,k,u1,1\n"
      "a,r,,k,u2,2\n"
      "a,s,3,k,u3,3\n"
      "b,s,3,k,u1,4\n"
      "b,NA,3,k,u2,5\n"
      ",r,3,k,u1,6\n";
  LearnOptions options;
  options.target = "T";
  options.discretize = "equal-width:2";
  options.maxCategories = 2;
  std::vector<std::string> notes;
  const formats::Network network = LearnText(csv, options, &notes);
  EXPECT_EQ(notes,
            (std::vector<std::string>{
                "read 6 rows (1 without a target value)", "column 'Z' dropped: a single value",
                "column 'V' dropped: more than 2 distinct values",
                "column ' W' dropped: its name cannot name a field (empty, blanks at "
                "either end, or control characters)"}));
  ASSERT_EQ(network.variables.size(), 3u);
  EXPECT_EQ(network.parameterLearning, "adjustedBayes");

  const formats::Variable& t = network.variables[0];
  EXPECT_EQ(t.name, "T");
  EXPECT_EQ(t.states, (std::vector<std::string>{"a", "b"}));
  // a: 3 of 5 → (3 + 0.5) / (5 + 1).
  EXPECT_EQ(t.table, (std::vector<double>{3.5 / 6, 2.5 / 6}));
  EXPECT_EQ(t.counts, std::vector<double>{5});

  const formats::Variable& x = Get(network, "X");
  EXPECT_EQ(x.states, (std::vector<std::string>{"r", "s"}));
  EXPECT_EQ(ParentNames(network, "X"), std::vector<std::string>{"T"});
  // a: r 2, s 1; b: r 0, s 1 (the NA row left out).
  EXPECT_EQ(x.table, (std::vector<double>{2.5 / 4, 1.5 / 4, 0.5 / 2, 1.5 / 2}));
  EXPECT_EQ(x.counts, (std::vector<double>{3, 1}));

  // Y's values 1 and 3, two equal-width bins: a cut at 2. a: 1 → bin 0,
  // 3 → bin 1 (the empty cell left out); b: 3, 3 → bin 1.
  const formats::Variable& y = Get(network, "Y_bin");
  ASSERT_TRUE(y.discretization.has_value());
  EXPECT_EQ(y.discretization->input, "Y");
  EXPECT_EQ(y.discretization->cuts, std::vector<double>{2});
  EXPECT_EQ(y.states, (std::vector<std::string>{"(-inf,2]", "(2,inf)"}));
  EXPECT_EQ(y.table, (std::vector<double>{1.5 / 3, 1.5 / 3, 0.5 / 3, 2.5 / 3}));

  // alpha 0: maximum likelihood.
  options.alpha = 0;
  EXPECT_EQ(Get(LearnText(csv, options), "X").table, (std::vector<double>{2.0 / 3, 1.0 / 3, 0, 1}));
}

TEST(Learner, RefusesWhatCannotBeLearned) {
  LearnOptions options;
  options.target = "T";
  auto message = [&](const std::string& csv) {
    try {
      LearnText(csv, options);
    } catch (const Error& e) {
      return std::string(e.what());
    }
    return std::string("no error");
  };
  EXPECT_EQ(message("A,B\n1,2\n"), "<data>: no column 'T'");
  EXPECT_EQ(message("T,A\na,1\na,2\n"), "the target 'T' has a single value: nothing to learn");
  EXPECT_EQ(message("T,A\n,1\n"), "the target 'T' has no values: nothing to learn");
  EXPECT_EQ(message("T,A\na,1\nb\n"), "<data>:3: 1 cells, the header has 2");
  EXPECT_EQ(message("T,A,T\na,1,a\n"), "<data>: the column 'T' appears twice");
  options.maxCategories = 2;
  EXPECT_EQ(message("T,A\na,1\nb,1\nc,1\n"), "the target 'T' has more than 2 values");
  options.maxCategories = 1000;
  options.structure = "forest";
  EXPECT_EQ(message("T,A\na,1\n"), "unknown structure 'forest' (naive, tan, k2 or given:FILE)");
  options.structure = "naive";
  options.discretize = "equal-width:1";
  EXPECT_EQ(message("T,A\na,1\n"),
            "--discretize equal-width:1: K must be a whole number from 2 to 1000");
}

// T uniform; A follows T half of the time; B copies A 90% of the time; C
// is noise; D follows T 30% of the time. Raw generator bits only, so the
// data are the same everywhere.
std::string PlantedData(int rows) {
  std::mt19937 bits(7);
  auto chance = [&bits](double p) { return bits() < p * 4294967296.0; };
  std::string csv = "T,A,B,C,D\n";
  for (int i = 0; i < rows; ++i) {
    const bool t = chance(0.5);
    const bool a = chance(0.5) ? chance(0.5) : t;
    const bool b = chance(0.9) ? a : chance(0.5);
    const unsigned c = bits() % 3;
    const bool d = chance(0.7) ? chance(0.5) : t;
    csv += std::string(t ? "x" : "y") + (a ? ",p" : ",q") + (b ? ",p" : ",q") + ",c" +
           std::to_string(c) + (d ? ",m\n" : ",n\n");
  }
  return csv;
}

TEST(Learner, TanAndK2RecoverAPlantedDependence) {
  const std::string csv = PlantedData(4000);
  LearnOptions options;
  options.target = "T";
  options.structure = "tan";
  const formats::Network tan = LearnText(csv, options);
  EXPECT_TRUE(ParentNames(tan, "A") == std::vector<std::string>{"T"});  // the root
  EXPECT_EQ(ParentNames(tan, "B"), (std::vector<std::string>{"T", "A"}));
  EXPECT_EQ(ParentNames(tan, "C").size(), 2u);
  EXPECT_EQ(ParentNames(tan, "D").size(), 2u);
  // B's table is P(B | T, A): rows (T, A), B fastest; B copies A.
  const formats::Variable& b = Get(tan, "B");
  ASSERT_EQ(b.table.size(), 8u);
  EXPECT_GT(b.table[0], 0.9);  // T=x, A=p: B=p
  EXPECT_GT(b.table[3], 0.9);  // T=x, A=q: B=q

  options.structure = "k2";
  const formats::Network k2 = LearnText(csv, options);
  EXPECT_EQ(ParentNames(k2, "A"), std::vector<std::string>{"T"});
  EXPECT_EQ(ParentNames(k2, "B"), std::vector<std::string>{"A"});
  EXPECT_TRUE(ParentNames(k2, "C").empty());
  EXPECT_EQ(ParentNames(k2, "D"), std::vector<std::string>{"T"});
  options.maxParents = 1;  // B keeps the best single parent only
  EXPECT_EQ(ParentNames(LearnText(csv, options), "B"), std::vector<std::string>{"A"});
}

// The arcs of a BIF network, its tables ignored; a column it lacks is refused.
TEST(Learner, GivenStructureTakesTheNetworksArcs) {
  const std::string bif =
      "network planted { }\n"
      "variable T { type discrete [ 2 ] { x, y }; }\n"
      "variable A { type discrete [ 2 ] { p, q }; }\n"
      "variable B { type discrete [ 2 ] { p, q }; }\n"
      "variable C { type discrete [ 3 ] { c0, c1, c2 }; }\n"
      "probability ( T ) { table 0.5, 0.5; }\n"
      "probability ( A | T ) { (x) 0.5, 0.5; (y) 0.5, 0.5; }\n"
      "probability ( B | A, C ) { (p, c0) 0.5, 0.5; (q, c0) 0.5, 0.5; (p, c1) 0.5, 0.5;\n"
      "  (q, c1) 0.5, 0.5; (p, c2) 0.5, 0.5; (q, c2) 0.5, 0.5; }\n"
      "probability ( C ) { table 0.3, 0.3, 0.4; }\n";
  const std::string path = ::testing::TempDir() + "given.bif";
  {
    std::ofstream out(path);
    out << bif;
  }
  LearnOptions options;
  options.target = "T";
  options.structure = "given:" + path;
  const std::string csv = "T,A,B,C\nx,p,p,c0\nx,p,q,c1\ny,q,q,c0\ny,p,p,c2\n";
  const formats::Network network = LearnText(csv, options);
  EXPECT_EQ(ParentNames(network, "A"), std::vector<std::string>{"T"});
  EXPECT_EQ(ParentNames(network, "B"), (std::vector<std::string>{"A", "C"}));
  EXPECT_TRUE(ParentNames(network, "C").empty());
  // B given (A, C), rows (p,c0) (p,c1) (p,c2) (q,c0)...: (p,c0) saw p once.
  const formats::Variable& b = Get(network, "B");
  EXPECT_EQ(b.table[0], 1.5 / 2);
  EXPECT_EQ(b.counts, (std::vector<double>{1, 1, 1, 1, 0, 0}));
  EXPECT_EQ(b.given, (std::vector<std::uint8_t>{1, 1, 1, 1, 0, 0}));
  try {
    LearnText("T,A,B,C,E\nx,p,p,c0,1\ny,q,q,c1,2\n", options);
    ADD_FAILURE() << "no error";
  } catch (const Error& e) {
    EXPECT_EQ(std::string(e.what()), path + ": no variable 'E' (a kept column)");
  }
  std::remove(path.c_str());
}

TEST(StructureSearch, TreeInformationAndK2ScoreByHand) {
  // Prim from node 0: 0-2 (5), 2-3 (3), 3-1 (4).
  const std::vector<std::vector<double>> weights = {
      {0, 1, 5, 0}, {1, 0, 2, 4}, {5, 2, 0, 3}, {0, 4, 3, 0}};
  EXPECT_EQ(MaximumSpanningTree(weights), (std::vector<std::size_t>{4, 3, 0, 2}));

  // C, A, B binary; A = B always, A uniform within each C: I = ln 2.
  const std::vector<std::size_t> cards = {2, 2, 2};
  FamilyCounts cab({0, 1, 2}, cards);
  for (int c = 0; c < 2; ++c) {
    for (int a = 0; a < 2; ++a) {
      for (int n = 0; n < 3; ++n) cab.Add({c, a, a});
    }
  }
  EXPECT_NEAR(ConditionalMutualInformation(cab), std::log(2.0), 1e-12);
  // Independent A and B given C: 0.
  FamilyCounts independent({0, 1, 2}, cards);
  for (int c = 0; c < 2; ++c) {
    for (int a = 0; a < 2; ++a) {
      for (int b = 0; b < 2; ++b) independent.Add({c, a, b});
    }
  }
  EXPECT_NEAR(ConditionalMutualInformation(independent), 0.0, 1e-12);
  // Rows with a missing code are not counted.
  independent.Add({0, -1, 1});
  EXPECT_EQ(independent.GetCounts()[1], 1u);

  // A parentless binary child seen once each: 0! + ... = lgamma(2) -
  // lgamma(4) + 2·lgamma(2) = -ln 6.
  FamilyCounts once({0}, {2});
  once.Add({0});
  once.Add({1});
  EXPECT_NEAR(K2Score(once, 2), -std::log(6.0), 1e-12);
  // Projection sums the other variables out and reorders: (B, C) of cab.
  const FamilyCounts bc = cab.Project({2, 0}, cards);
  EXPECT_EQ(bc.GetCounts(), (std::vector<std::uint64_t>{3, 3, 3, 3}));
}

}  // namespace
}  // namespace bnscore::learn
