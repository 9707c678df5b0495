#include "service/DeployedModel.h"

#include "bnscore/JsonText.h"

namespace bnscore::service {

DeployedModel::DeployedModel(std::string id, std::unique_ptr<bnscore::Model> model,
                             std::shared_ptr<ModelMetrics> metrics,
                             bnscore::service::DocumentInfo info)
    : id_(std::move(id)),
      model_(std::move(model)),
      metrics_(std::move(metrics)),
      info_(std::move(info)),
      etag_("\"" + info_.sha256 + "\"") {
  const bnscore::Schema& schema = model_->GetSchema();
  for (std::size_t i = 0; i < schema.inputs.size(); ++i) {
    inputs_.emplace(schema.inputs[i].name, static_cast<int>(i));  // the first of a name wins
  }
  for (const std::string& category : schema.categories) {
    std::string literal;
    AppendJsonString(literal, category);
    categoryLiterals_.push_back(std::move(literal));
  }

  schemaJson_.append("{\"id\":");
  AppendJsonString(schemaJson_, id_);
  schemaJson_.append(",\"target\":");
  AppendJsonString(schemaJson_, schema.target);
  schemaJson_.append(",\"categories\":[");
  for (std::size_t i = 0; i < categoryLiterals_.size(); ++i) {
    if (i > 0) schemaJson_.push_back(',');
    schemaJson_.append(categoryLiterals_[i]);
  }
  std::string inputs = "[";
  for (std::size_t i = 0; i < schema.inputs.size(); ++i) {
    if (i > 0) inputs.push_back(',');
    inputs.append("{\"name\":");
    AppendJsonString(inputs, schema.inputs[i].name);
    inputs.append(schema.inputs[i].kind == bnscore::FieldKind::kNumber ? ",\"kind\":\"number\"}"
                                                                       : ",\"kind\":\"text\"}");
  }
  inputs.push_back(']');
  // "predictors", the list's former name, is kept for one release beside
  // "inputs": deprecated (the list holds more than the predictors).
  schemaJson_.append("],\"inputs\":").append(inputs);
  schemaJson_.append(",\"predictors\":").append(inputs);
  schemaJson_.append(",\"version\":");
  if (info_.version.empty()) {
    schemaJson_.append("null");
  } else {
    AppendJsonString(schemaJson_, info_.version);
  }
  schemaJson_.append(",\"sha256\":");
  AppendJsonString(schemaJson_, info_.sha256);
  schemaJson_.append(",\"deployed_at\":");
  AppendJsonString(schemaJson_, info_.deployedAt);
  schemaJson_.append("}\n");
}

int DeployedModel::FindInput(std::string_view name) const {
  auto found = inputs_.find(name);
  return found == inputs_.end() ? -1 : found->second;
}

}  // namespace bnscore::service
