#include "service/StructureJson.h"

#include "bnscore/JsonText.h"

namespace bnscore::service {

namespace {

void AppendNames(std::string& json, const std::vector<std::string>& names) {
  json.push_back('[');
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (i > 0) json.push_back(',');
    AppendJsonString(json, names[i]);
  }
  json.push_back(']');
}

}  // namespace

std::string StructureJson(const std::string& id, const Model& model) {
  const Structure structure = model.GetStructure();
  std::string json = "{\"id\":";
  AppendJsonString(json, id);
  json.append(",\"target\":");
  AppendJsonString(json, model.GetSchema().target);
  json.append(",\"arcs\":[");
  for (std::size_t i = 0; i < structure.arcs.size(); ++i) {
    json.append(i > 0 ? ",[" : "[");
    AppendJsonString(json, structure.arcs[i].parent);
    json.push_back(',');
    AppendJsonString(json, structure.arcs[i].child);
    json.push_back(']');
  }
  json.append("],\"markov_blanket\":");
  AppendNames(json, structure.markovBlanket);
  json.append(",\"binned\":[");
  for (std::size_t i = 0; i < structure.binnedFields.size(); ++i) {
    const BinnedField& binned = structure.binnedFields[i];
    json.append(i > 0 ? ",{\"field\":" : "{\"field\":");
    AppendJsonString(json, binned.field);
    json.append(",\"derived\":");
    AppendJsonString(json, binned.derivedField);
    if (binned.discretized) {
      json.append(",\"intervals\":[");
      for (std::size_t b = 0; b < binned.bins.size(); ++b) {
        json.append(b > 0 ? ",{\"category\":" : "{\"category\":");
        AppendJsonString(json, binned.bins[b].category);
        json.append(",\"interval\":");
        AppendJsonString(json, IntervalText(binned.bins[b]));
        json.push_back('}');
      }
      json.push_back(']');
    }
    json.push_back('}');
  }
  json.append("]}\n");
  return json;
}

}  // namespace bnscore::service
