#ifndef TESTING_STRESSMODELS_H_
#define TESTING_STRESSMODELS_H_

#include <string>
#include <vector>

namespace bnscore::testing {

// Small documents whose cost grows fast with a parameter: what a hostile or
// careless writer could send. The benchmarks time them and the tests score
// them to known numbers.
//
// A stress model is its PMML text, the names of its predictors (the CSV
// header of its records) and one record whose every predictor has a code.
struct StressModel {
  std::string pmml;
  std::vector<std::string> fieldNames;
  std::vector<std::string> record;
};

// The blanket whose dense tables are large for its size: a target t (a, b;
// prior 0.6, 0.4); predictors p (350 categories p0 ..) and q (700, q0 ..);
// 8 children c0 .. c7 of t, each with the parents t, p and q and the
// categories u, v, whose tables hold only the configurations (a, p0, q0):
// 0.7, 0.3 and (b, p0, q0): 0.2, 0.8; and `fillers` predictors f0 .. outside
// the blanket (categories u, v). The factors of the children hold
// 8 x 2 x 350 x 700 x 2 = 7,840,000 entries. The record has p0, q0 and u
// everywhere.
StressModel PlanStressModel(int fillers);

// A target t with `categories` categories k0, k1, ...; the prior of category
// i is (i + 1) / n, its one child x (u, v) has P(u | ki) = 1 / (i + 2), where
// n = categories (categories + 1) / 2. The record has x = u.
StressModel ManyCategoriesModel(int categories);

}  // namespace bnscore::testing

#endif  // TESTING_STRESSMODELS_H_
