#include "cli/ModelSummary.h"

#include <algorithm>
#include <map>
#include <memory>
#include <utility>
#include <vector>

#include "cli/BinText.h"
#include "cli/NetworkStructure.h"
#include "engine/CsvWriter.h"
#include "engine/FieldLayout.h"
#include "bnscore/JsonText.h"
#include "host/data/TransformationDictionary.h"
#include "host/interfaces/ScoreDictionary.h"
#include "host/interfaces/ScoreValueLabel.h"

namespace bnscore::cli {

using namespace bnscore::internal;

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

// A derived field that bins a field: "name (string, categorical) bins
// income: low <= 25000 < middle <= 60000 < high".
void WriteBinnedVariable(const ScoreDictVar& var, const Discretization& bins, std::ostream& out) {
  out << var.GetName() << " (" << (var.GetValueType() == 0 ? "numeric" : "string") << ", "
      << MeasureName(var.GetMeasure()) << ") bins " << bins.field << ": "
      << bnscore::cli::DescribeBins(bins) << '\n';
}

void WriteVariables(const char* heading, const ScoreDictionary* dictionary,
                    const ScoreModel& model, std::ostream& out) {
  std::vector<ScoreDictVar*> vars;
  if (dictionary != nullptr) dictionary->GetVariables(vars);
  out << heading << " (" << vars.size() << "):\n";
  for (const ScoreDictVar* var : vars) {
    out << "  ";
    const Discretization* bins = bnscore::cli::FindBins(model, var->GetName());
    if (bins != nullptr && dictionary == model.GetTransformationDictionary()) {
      WriteBinnedVariable(*var, *bins, out);
    } else {
      WriteVariable(*var, out);
    }
  }
}

void AppendNames(const std::vector<std::string>& names, std::string& json) {
  json += '[';
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (i > 0) json += ',';
    AppendJsonString(json, names[i]);
  }
  json += ']';
}

// {"name":..,"value_type":..,"measure":..,"categories":[..] without the
// closing brace, so that callers may add members.
void AppendVariable(const ScoreDictVar& var, std::string& json) {
  json += "{\"name\":";
  AppendJsonString(json, var.GetName());
  json += var.GetValueType() == 0 ? ",\"value_type\":\"numeric\"" : ",\"value_type\":\"string\"";
  json += ",\"measure\":";
  AppendJsonString(json, MeasureName(var.GetMeasure()));
  std::vector<std::string> categories;
  const ScoreValueLabelSet* labels = var.GetValueLabelSet();
  if (labels != nullptr) {
    for (const ScoreValueLabel* label : labels->GetLabels()) {
      NumberTextBuffer buffer;
      categories.emplace_back(label->GetValue()->GetStringView(buffer));
    }
  }
  json += ",\"categories\":";
  AppendNames(categories, json);
}

// ,"bins":FIELD,"intervals":[{"category":..,"interval":"(25000, 60000]"}...]
void AppendBins(const Discretization& bins, std::string& json) {
  json += ",\"bins\":";
  AppendJsonString(json, bins.field);
  json += ",\"intervals\":[";
  for (std::size_t i = 0; i < bins.bins.size(); ++i) {
    json += i > 0 ? ",{\"category\":" : "{\"category\":";
    AppendJsonString(json, bins.bins[i].binValue);
    json += ",\"interval\":";
    AppendJsonString(json, bnscore::cli::DescribeInterval(bins.bins[i]));
    json += '}';
  }
  json += ']';
}

void AppendVariables(const ScoreDictionary* dictionary, const ScoreModel& model,
                     std::string& json) {
  std::vector<ScoreDictVar*> vars;
  if (dictionary != nullptr) dictionary->GetVariables(vars);
  json += '[';
  for (std::size_t i = 0; i < vars.size(); ++i) {
    if (i > 0) json += ',';
    AppendVariable(*vars[i], json);
    const Discretization* bins = bnscore::cli::FindBins(model, vars[i]->GetName());
    if (bins != nullptr && dictionary == model.GetTransformationDictionary()) {
      AppendBins(*bins, json);
    }
    json += '}';
  }
  json += ']';
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

std::vector<std::string> ExpectedColumns(const ScoreModel& model) {
  return FieldLayout(model, false, false).GetPredictorNames();
}

void WriteExpectedHeader(const ScoreModel& model, std::ostream& out) {
  CsvWriter row(256);
  for (const std::string& name : ExpectedColumns(model)) row.WriteField(name);
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
  WriteVariables("input fields", inputs.get(), model, out);
  WriteVariables("derived fields", model.GetTransformationDictionary(), model, out);
  if (target != nullptr) {
    const NetworkStructure network = NetworkStructure::Read(modelPath);
    if (!network.modelType.empty()) out << "source model type: " << network.modelType << '\n';
    if (!network.inferenceMethod.empty()) {
      out << "source inference method: " << network.inferenceMethod << '\n';
    }
    WriteNetwork(network, target->GetName(), out);
  }
}

void WriteModelSummaryJson(const ScoreModel& model, const std::string& modelPath,
                           std::ostream& out) {
  std::string json = "{\"model\":";
  AppendJsonString(json, modelPath);
  json += ",\"type\":";
  AppendJsonString(json,
                   model.GetModelType() == ScoreModel::BayesNet ? "Bayesian network" : "other");
  json += ",\"type_code\":" + std::to_string(model.GetModelType());
  json += ",\"version\":";
  const ScoreVersionInfo* version = model.GetVersionInfo();
  if (version != nullptr) {
    AppendJsonString(json, version->GetVersion());
  } else {
    json += "null";
  }
  json += ",\"target\":";
  const ScoreDictVar* target = model.GetTargetVar();
  if (target != nullptr) {
    AppendVariable(*target, json);
    json += '}';
  } else {
    json += "null";
  }
  std::unique_ptr<ScoreDictionary> inputs(model.GetVarsOfRole(ScoreModel::InputRole));
  json += ",\"inputs\":";
  AppendVariables(inputs.get(), model, json);
  json += ",\"derived\":";
  AppendVariables(model.GetTransformationDictionary(), model, json);
  const NetworkStructure network =
      target != nullptr ? NetworkStructure::Read(modelPath) : NetworkStructure();
  json += ",\"arcs\":[";
  for (std::size_t i = 0; i < network.arcs.size(); ++i) {
    json += i > 0 ? ",[" : "[";
    AppendJsonString(json, network.arcs[i].first);
    json += ',';
    AppendJsonString(json, network.arcs[i].second);
    json += ']';
  }
  json += "]";
  if (!network.modelType.empty()) {
    json += ",\"source_model_type\":";
    AppendJsonString(json, network.modelType);
  }
  if (!network.inferenceMethod.empty()) {
    json += ",\"source_inference_method\":";
    AppendJsonString(json, network.inferenceMethod);
  }
  json += ",\"markov_blanket\":";
  AppendNames(target != nullptr ? network.MarkovBlanket(target->GetName())
                                : std::vector<std::string>(),
              json);
  out << json << "}\n";
}

void WriteExpectedHeaderJson(const ScoreModel& model, std::ostream& out) {
  std::string json;
  AppendNames(ExpectedColumns(model), json);
  out << json << '\n';
}

}  // namespace bnscore::cli
