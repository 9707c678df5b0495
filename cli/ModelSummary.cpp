#include "cli/ModelSummary.h"

#include <algorithm>
#include <map>
#include <memory>
#include <utility>
#include <vector>

#include "cli/NetworkStructure.h"
#include "engine/CsvWriter.h"
#include "engine/RecordFiller.h"
#include "host/ScoreDictionary.h"
#include "host/ScoreValueLabel.h"
#include "host/TransformationDictionary.h"

namespace {

const char* MeasureName(int measure) {
  switch (measure) {
    case ScoreDictVar::Continuous:
      return "continuous";
    case ScoreDictVar::Categorical:
      return "categorical";
    case ScoreDictVar::Ordinal:
      return "ordinal";
    default:
      return "unknown measure";
  }
}

// "name (numeric, categorical): a, b, c" and a line end.
void WriteVariable(const ScoreDictVar& var, std::ostream& out) {
  out << var.GetName() << " (" << (var.GetValueType() == 0 ? "numeric" : "string") << ", "
      << MeasureName(var.GetMeasure()) << ")";
  const ScoreValueLabelSet* labels = var.GetValueLabelSet();
  if (labels != nullptr && !labels->GetLabels().empty()) {
    const char* separator = ": ";
    for (const ScoreValueLabel* label : labels->GetLabels()) {
      NumberTextBuffer buffer;
      out << separator << label->GetValue()->GetStringView(buffer);
      separator = ", ";
    }
  }
  out << '\n';
}

void WriteVariables(const char* heading, const ScoreDictionary* dictionary, std::ostream& out) {
  std::vector<ScoreDictVar*> vars;
  if (dictionary != nullptr) dictionary->GetVariables(vars);
  out << heading << " (" << vars.size() << "):\n";
  for (const ScoreDictVar* var : vars) {
    out << "  ";
    WriteVariable(*var, out);
  }
}

// The arcs, then the target's Markov blanket.
void WriteNetwork(const NetworkStructure& network, const std::string& target, std::ostream& out) {
  out << "arcs (" << network.arcs.size() << "):\n";
  for (const auto& arc : network.arcs) out << "  " << arc.first << " -> " << arc.second << '\n';
  const std::vector<std::string> blanket = network.MarkovBlanket(target);
  out << "Markov blanket of " << target << " (" << blanket.size() << ")";
  const char* separator = ": ";
  for (const std::string& name : blanket) {
    out << separator << name;
    separator = ", ";
  }
  out << '\n';
}

}  // namespace

void WriteExpectedHeader(const ScoreModel& model, std::ostream& out) {
  CsvWriter row(256);
  for (const std::string& name : PredictorColumns(model)) row.WriteField(name);
  row.EndRow();
  out << row.GetBuffered();
}

void WriteModelSummary(const ScoreModel& model, const std::string& modelPath, std::ostream& out) {
  out << "model: " << modelPath << '\n';
  out << "type: " << (model.GetModelType() == ScoreModel::BayesNet ? "Bayesian network" : "other")
      << " (" << model.GetModelType() << ")\n";
  const ScoreVersionInfo* version = model.GetVersionInfo();
  if (version != nullptr) out << "written by version: " << version->GetVersion() << '\n';
  out << "target: ";
  const ScoreDictVar* target = model.GetTargetVar();
  if (target != nullptr) {
    WriteVariable(*target, out);
  } else {
    out << "none\n";
  }
  // GetVarsOfRole makes a new dictionary (or none) that the caller owns.
  std::unique_ptr<ScoreDictionary> inputs(model.GetVarsOfRole(ScoreModel::InputRole));
  WriteVariables("input fields", inputs.get(), out);
  WriteVariables("derived fields", model.GetTransformationDictionary(), out);
  if (target != nullptr) WriteNetwork(NetworkStructure::Read(modelPath), target->GetName(), out);
}
