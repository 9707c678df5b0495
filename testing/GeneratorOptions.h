#ifndef TESTING_GENERATOROPTIONS_H_
#define TESTING_GENERATOROPTIONS_H_

#include <cstdint>
#include <string>
#include <vector>

namespace bnscore::testing {

// How the arcs of a generated network are drawn.
enum class ArcPattern {
  NaiveBayes,     // target -> every predictor
  TreeAugmented,  // target -> every predictor, plus one predictor parent each
                  // (a random tree over the predictors)
  General         // a random DAG with at most maxParents parents per node;
                  // the target may have parents
};

// The parameter-learning method written into the document.
enum class LearningMethod { MaxLikelihood, AdjustedBayes, BayesMethod };

// What ModelGenerator builds. Every field has a usable default; the counts
// of the four predictor kinds add up to the number of predictors.
struct GeneratorOptions {
  // Continuous predictors, read through a discretization into `bins` bins.
  int binnedPredictors = 0;
  // Categorical predictors with numeric values.
  int numericPredictors = 0;
  // Categorical predictors with string values.
  int stringPredictors = 0;
  // Predictors that are derived fields (listed through the mining schema's
  // DerivedFields extension), computed from a continuous data field by a
  // Discretize with `categories` string bin values. A derived field's name
  // used in the network would resolve to a data field, so these predictors
  // stand outside the network: they need a value but add no factor.
  int derivedPredictors = 0;

  int bins = 5;                // per binned predictor, >= 2
  int categories = 3;          // per categorical or derived predictor, >= 2
  int targetCategories = 2;    // >= 2
  bool numericTarget = false;  // target values 1, 2, ... instead of c0, c1, ...

  ArcPattern structure = ArcPattern::NaiveBayes;
  int maxParents = 2;  // General only, >= 0
  LearningMethod method = LearningMethod::MaxLikelihood;
  // The fraction of parent configurations left out of the tables of nodes
  // that have parents, in [0, 1].
  double missingConfigurations = 0.0;

  std::uint64_t seed = 1;

  int PredictorCount() const {
    return binnedPredictors + numericPredictors + stringPredictors + derivedPredictors;
  }
};

// How RecordGenerator fills records.
struct RecordOptions {
  double missingCells = 0.0;   // fraction of empty cells
  double unknownValues = 0.0;  // fraction of cells holding a value no category has
  bool includeTarget = false;  // add a column with a random target value
  std::uint64_t seed = 2;
};

// The named network shapes that `make bench` measures.
struct ShapePreset {
  std::string name;
  std::string description;
  GeneratorOptions options;
};

// The preset shapes, in the order `make bench` reports them.
const std::vector<ShapePreset>& ShapePresets();
// The preset of that name, or null.
const ShapePreset* FindShapePreset(const std::string& name);

// Text forms of the enumerations, as the command line and the document use
// them ("naive", "tan", "general"; "maxLikelihood", ...). The parsers return
// false for an unknown text.
const char* StructureName(ArcPattern structure);
bool ParseStructure(const std::string& text, ArcPattern& structure);
const char* MethodName(LearningMethod method);
bool ParseMethod(const std::string& text, LearningMethod& method);

}  // namespace bnscore::testing

#endif  // TESTING_GENERATOROPTIONS_H_
