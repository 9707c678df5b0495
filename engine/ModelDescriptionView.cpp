// The description Model::Describe returns: the host's dictionaries of a model as the
// public ModelDescription; and bnscore::FormatNumber.
#include <memory>
#include <utility>

#include "bnscore/NumberText.h"
#include "bnscore/bnscore.h"
#include "engine/FieldLayout.h"
#include "engine/ModelViews.h"
#include "host/data/TransformationDictionary.h"
#include "host/interfaces/ScoreDictionary.h"
#include "host/interfaces/ScoreValueLabel.h"
#include "host/text/NumberText.h"
#include "host/xml/PmmlParser.h"

namespace bnscore {

static_assert(kDefaultMaxDocumentBytes == PmmlParser::kMaxDocumentBytes,
              "the public default is the parser's");

namespace {

Measure MeasureOf(int measure) {
  switch (measure) {
    case ScoreDictVar::Continuous:
      return Measure::kContinuous;
    case ScoreDictVar::Categorical:
      return Measure::kCategorical;
    case ScoreDictVar::Ordinal:
      return Measure::kOrdinal;
    default:
      return Measure::kOther;
  }
}

Bin PublicBin(const DiscretizeBin& bin) {
  Bin out;
  out.category = bin.binValue;
  if (bin.hasLeftMargin) out.left = bin.leftMargin;
  if (bin.hasRightMargin) out.right = bin.rightMargin;
  out.closedLeft =
      bin.closure == DiscretizeBin::ClosedOpen || bin.closure == DiscretizeBin::ClosedClosed;
  out.closedRight =
      bin.closure == DiscretizeBin::OpenClosed || bin.closure == DiscretizeBin::ClosedClosed;
  return out;
}

// `var` with its categories; with `derived`, the Discretize behind it.
Variable VariableOf(const ScoreDictVar& var, const TransformationDictionary* derived) {
  Variable out;
  out.name = var.GetName();
  out.numeric = var.GetValueType() == 0;
  out.measure = MeasureOf(var.GetMeasure());
  if (const ScoreValueLabelSet* labels = var.GetValueLabelSet()) {
    for (const ScoreValueLabel* label : labels->GetLabels()) {
      NumberTextBuffer buffer;
      out.categories.emplace_back(label->GetValue()->GetStringView(buffer));
    }
  }
  const Discretization* bins =
      derived != nullptr ? derived->GetDiscretization(derived->GetDerivedPosition(out.name))
                         : nullptr;
  if (bins != nullptr) {
    out.binsOf = bins->field;
    for (const DiscretizeBin& bin : bins->bins) out.bins.push_back(PublicBin(bin));
  }
  return out;
}

std::vector<Variable> VariablesOf(const ScoreDictionary* dictionary,
                                  const TransformationDictionary* derived) {
  std::vector<ScoreDictVar*> vars;
  if (dictionary != nullptr) dictionary->GetVariables(vars);
  std::vector<Variable> out;
  for (const ScoreDictVar* var : vars) out.push_back(VariableOf(*var, derived));
  return out;
}

}  // namespace

std::string FormatNumber(double value) { return ::NumberToString(value); }

ModelDescription internal::DescriptionOf(const ScoreModel& model) {
  ModelDescription description;
  description.typeCode = model.GetModelType();
  description.bayesNet = description.typeCode == ScoreModel::BayesNet;
  if (const ScoreVersionInfo* version = model.GetVersionInfo()) {
    description.version = version->GetVersion();
  }
  if (const ScoreDictVar* target = model.GetTargetVar()) {
    description.target = VariableOf(*target, nullptr);
  }
  // GetVarsOfRole makes a new dictionary (or none) that the caller owns.
  std::unique_ptr<ScoreDictionary> inputs(model.GetVarsOfRole(ScoreModel::InputRole));
  description.inputs = VariablesOf(inputs.get(), nullptr);
  const ScoreDictionary* transformation = model.GetTransformationDictionary();
  description.derived =
      VariablesOf(transformation, dynamic_cast<const TransformationDictionary*>(transformation));
  description.predictors = internal::FieldLayout(model, false, false).GetPredictorNames();
  return description;
}

}  // namespace bnscore
