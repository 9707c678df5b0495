#include "cli/ModelSummary.h"

#include <vector>

#include "cli/BinText.h"
#include "bnscore/JsonText.h"

namespace bnscore::cli {

namespace {

const char* MeasureName(Measure measure) {
  switch (measure) {
    case Measure::kContinuous:
      return "continuous";
    case Measure::kCategorical:
      return "categorical";
    case Measure::kOrdinal:
      return "ordinal";
    default:
      return "unknown measure";
  }
}

const char* ValueTypeName(const Variable& var) { return var.numeric ? "numeric" : "string"; }

// "name (numeric, categorical): a, b, c" and a line end.
void WriteVariable(const Variable& var, std::ostream& out) {
  out << var.name << " (" << ValueTypeName(var) << ", " << MeasureName(var.measure) << ")";
  const char* separator = ": ";
  for (const std::string& category : var.categories) {
    out << separator << category;
    separator = ", ";
  }
  out << '\n';
}

// A derived field that bins a field: "name (string, categorical) bins
// income: low <= 25000 < middle <= 60000 < high".
void WriteBinnedVariable(const Variable& var, std::ostream& out) {
  out << var.name << " (" << ValueTypeName(var) << ", " << MeasureName(var.measure) << ") bins "
      << *var.binsOf << ": " << DescribeBins(var.bins) << '\n';
}

void WriteVariables(const char* heading, const std::vector<Variable>& vars, std::ostream& out) {
  out << heading << " (" << vars.size() << "):\n";
  for (const Variable& var : vars) {
    out << "  ";
    if (var.binsOf) {
      WriteBinnedVariable(var, out);
    } else {
      WriteVariable(var, out);
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

// {"name":..,"value_type":..,"measure":..,"categories":[..], with a derived
// field's bins.
void AppendVariable(const Variable& var, std::string& json) {
  json += "{\"name\":";
  AppendJsonString(json, var.name);
  json += var.numeric ? ",\"value_type\":\"numeric\"" : ",\"value_type\":\"string\"";
  json += ",\"measure\":";
  AppendJsonString(json, MeasureName(var.measure));
  json += ",\"categories\":";
  AppendNames(var.categories, json);
  if (var.binsOf) {
    // ,"bins":FIELD,"intervals":[{"category":..,"interval":"(25000, 60000]"}...]
    json += ",\"bins\":";
    AppendJsonString(json, *var.binsOf);
    json += ",\"intervals\":[";
    for (std::size_t i = 0; i < var.bins.size(); ++i) {
      json += i > 0 ? ",{\"category\":" : "{\"category\":";
      AppendJsonString(json, var.bins[i].category);
      json += ",\"interval\":";
      AppendJsonString(json, DescribeInterval(var.bins[i]));
      json += '}';
    }
    json += ']';
  }
  json += '}';
}

void AppendVariables(const std::vector<Variable>& vars, std::string& json) {
  json += '[';
  for (std::size_t i = 0; i < vars.size(); ++i) {
    if (i > 0) json += ',';
    AppendVariable(vars[i], json);
  }
  json += ']';
}

// The arcs, then the target's Markov blanket.
void WriteNetwork(const Structure& network, const std::string& target, std::ostream& out) {
  out << "arcs (" << network.arcs.size() << "):\n";
  for (const Arc& arc : network.arcs) out << "  " << arc.parent << " -> " << arc.child << '\n';
  out << "Markov blanket of " << target << " (" << network.markovBlanket.size() << ")";
  const char* separator = ": ";
  for (const std::string& name : network.markovBlanket) {
    out << separator << name;
    separator = ", ";
  }
  out << '\n';
}

// A CSV field as bnscore writes one: quoted when it holds a comma, a quote
// or a line end.
void AppendCsvField(const std::string& text, std::string& row) {
  if (text.find_first_of(",\"\r\n") == std::string::npos) {
    row += text;
    return;
  }
  row += '"';
  for (char c : text) {
    if (c == '"') row += '"';
    row += c;
  }
  row += '"';
}

const char* TypeName(const ModelDescription& description) {
  return description.bayesNet ? "Bayesian network" : "other";
}

}  // namespace

void WriteExpectedHeader(const Model& model, std::ostream& out) {
  std::string row;
  for (const std::string& name : model.Describe().predictors) {
    if (!row.empty()) row += ',';
    AppendCsvField(name, row);
  }
  out << row << '\n';
}

void WriteModelSummary(const Model& model, const std::string& modelPath, std::ostream& out) {
  const ModelDescription description = model.Describe();
  out << "model: " << modelPath << '\n';
  out << "type: " << TypeName(description) << " (" << description.typeCode << ")\n";
  if (description.version) out << "written by version: " << *description.version << '\n';
  out << "target: ";
  if (description.target) {
    WriteVariable(*description.target, out);
  } else {
    out << "none\n";
  }
  WriteVariables("input fields", description.inputs, out);
  WriteVariables("derived fields", description.derived, out);
  if (description.target) {
    const Structure network = model.GetStructure();
    if (!network.sourceModelType.empty()) {
      out << "source model type: " << network.sourceModelType << '\n';
    }
    if (!network.sourceInferenceMethod.empty()) {
      out << "source inference method: " << network.sourceInferenceMethod << '\n';
    }
    WriteNetwork(network, description.target->name, out);
  }
}

void WriteModelSummaryJson(const Model& model, const std::string& modelPath, std::ostream& out) {
  const ModelDescription description = model.Describe();
  std::string json = "{\"model\":";
  AppendJsonString(json, modelPath);
  json += ",\"type\":";
  AppendJsonString(json, TypeName(description));
  json += ",\"type_code\":" + std::to_string(description.typeCode);
  json += ",\"version\":";
  if (description.version) {
    AppendJsonString(json, *description.version);
  } else {
    json += "null";
  }
  json += ",\"target\":";
  if (description.target) {
    AppendVariable(*description.target, json);
  } else {
    json += "null";
  }
  json += ",\"inputs\":";
  AppendVariables(description.inputs, json);
  json += ",\"derived\":";
  AppendVariables(description.derived, json);
  const Structure network = description.target ? model.GetStructure() : Structure();
  json += ",\"arcs\":[";
  for (std::size_t i = 0; i < network.arcs.size(); ++i) {
    json += i > 0 ? ",[" : "[";
    AppendJsonString(json, network.arcs[i].parent);
    json += ',';
    AppendJsonString(json, network.arcs[i].child);
    json += ']';
  }
  json += "]";
  if (!network.sourceModelType.empty()) {
    json += ",\"source_model_type\":";
    AppendJsonString(json, network.sourceModelType);
  }
  if (!network.sourceInferenceMethod.empty()) {
    json += ",\"source_inference_method\":";
    AppendJsonString(json, network.sourceInferenceMethod);
  }
  json += ",\"markov_blanket\":";
  AppendNames(network.markovBlanket, json);
  out << json << "}\n";
}

void WriteExpectedHeaderJson(const Model& model, std::ostream& out) {
  std::string json;
  AppendNames(model.Describe().predictors, json);
  out << json << '\n';
}

}  // namespace bnscore::cli
