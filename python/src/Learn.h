#ifndef BNSCORE_PYTHON_LEARN_H_
#define BNSCORE_PYTHON_LEARN_H_

#include <pybind11/pybind11.h>

// Adds _native.learn(csv, target, structure, max_parents, discretize,
// alpha, max_categories, missing_values) -> (pmml bytes, [notes]): learns
// from CSV text (bnscore::LearnFromText), without the GIL.
void AddLearn(pybind11::module_& module);

#endif  // BNSCORE_PYTHON_LEARN_H_
