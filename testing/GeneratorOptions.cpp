#include "testing/GeneratorOptions.h"

#include <utility>

namespace bnscore::testing {

namespace {

ShapePreset Preset(std::string name, std::string description, GeneratorOptions options) {
  return ShapePreset{std::move(name), std::move(description), options};
}

std::vector<ShapePreset> MakePresets() {
  std::vector<ShapePreset> presets;

  GeneratorOptions naive4;
  naive4.binnedPredictors = 4;
  naive4.bins = 5;
  naive4.targetCategories = 3;
  naive4.structure = ArcPattern::NaiveBayes;
  naive4.seed = 101;
  presets.push_back(Preset(
      "naive4", "4 binned continuous predictors, 3-category target, naive-Bayes arcs", naive4));

  GeneratorOptions mixed20;
  mixed20.binnedPredictors = 6;
  mixed20.numericPredictors = 6;
  mixed20.stringPredictors = 6;
  mixed20.derivedPredictors = 2;
  mixed20.bins = 5;
  mixed20.categories = 4;
  mixed20.targetCategories = 2;
  mixed20.structure = ArcPattern::General;
  mixed20.maxParents = 2;
  mixed20.seed = 202;
  presets.push_back(
      Preset("mixed20", "20 mixed predictors, <= 2 parents per node, 2-category target", mixed20));

  GeneratorOptions string16;
  string16.stringPredictors = 16;
  string16.categories = 4;
  string16.targetCategories = 2;
  string16.structure = ArcPattern::TreeAugmented;
  string16.seed = 303;
  presets.push_back(
      Preset("string16tan", "16 string predictors, tree-augmented, 2-category target", string16));

  // 17 predictors with a predictor parent: 17 * 7 * 28 rows, plus 7 for the
  // tree's root and 1 for the target: 3,340 table rows.
  GeneratorOptions binned18;
  binned18.binnedPredictors = 18;
  binned18.bins = 28;
  binned18.targetCategories = 7;
  binned18.structure = ArcPattern::TreeAugmented;
  binned18.seed = 404;
  presets.push_back(Preset("binned18tan7",
                           "18 binned predictors, tree-augmented, 7-category target, ~3,400 rows",
                           binned18));

  GeneratorOptions wide;
  wide.stringPredictors = 216;
  wide.categories = 2;
  wide.targetCategories = 2;
  wide.structure = ArcPattern::NaiveBayes;
  wide.seed = 505;
  presets.push_back(
      Preset("wide216", "216 two-valued string predictors, naive-Bayes arcs, 2 categories", wide));
  return presets;
}

}  // namespace

const std::vector<ShapePreset>& ShapePresets() {
  static const std::vector<ShapePreset> presets = MakePresets();
  return presets;
}

const ShapePreset* FindShapePreset(const std::string& name) {
  for (const ShapePreset& preset : ShapePresets()) {
    if (preset.name == name) return &preset;
  }
  return nullptr;
}

const char* StructureName(ArcPattern structure) {
  switch (structure) {
    case ArcPattern::NaiveBayes:
      return "naive";
    case ArcPattern::TreeAugmented:
      return "tan";
    case ArcPattern::General:
      return "general";
  }
  return "naive";
}

bool ParseStructure(const std::string& text, ArcPattern& structure) {
  for (ArcPattern s : {ArcPattern::NaiveBayes, ArcPattern::TreeAugmented, ArcPattern::General}) {
    if (text == StructureName(s)) {
      structure = s;
      return true;
    }
  }
  return false;
}

const char* MethodName(LearningMethod method) {
  switch (method) {
    case LearningMethod::MaxLikelihood:
      return "maxLikelihood";
    case LearningMethod::AdjustedBayes:
      return "adjustedBayes";
    case LearningMethod::BayesMethod:
      return "bayesMethod";
  }
  return "maxLikelihood";
}

bool ParseMethod(const std::string& text, LearningMethod& method) {
  for (LearningMethod m : {LearningMethod::MaxLikelihood, LearningMethod::AdjustedBayes,
                           LearningMethod::BayesMethod}) {
    if (text == MethodName(m)) {
      method = m;
      return true;
    }
  }
  return false;
}

}  // namespace bnscore::testing
