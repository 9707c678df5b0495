#ifndef BNSCORE_SERVICE_DEPLOYEDMODEL_H_
#define BNSCORE_SERVICE_DEPLOYEDMODEL_H_

#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "bnscore/bnscore.h"
#include "service/DocumentInfo.h"

namespace bnscore::service {

class ModelMetrics;

// A model deployed under an id, with what answering for it needs ready:
// the input field of each name and the schema as JSON. Owns the model; immutable once built, so
// that any number of requests may use it at once while the registry replaces it (each holds a
// std::shared_ptr to the DeployedModel it started with).
class DeployedModel {
 public:
  // `metrics` is shared with the service's ServiceMetrics; `info`
  // describes the document the model was read from.
  DeployedModel(std::string id, std::unique_ptr<bnscore::Model> model,
                std::shared_ptr<ModelMetrics> metrics, bnscore::service::DocumentInfo info = {});

  const std::string& GetId() const { return id_; }
  const bnscore::Model& GetModel() const { return *model_; }
  const bnscore::Schema& GetSchema() const { return model_->GetSchema(); }
  ModelMetrics& GetMetrics() const { return *metrics_; }
  const bnscore::service::DocumentInfo& GetInfo() const { return info_; }
  // The ETag of the deployed document: its SHA-256, quoted.
  const std::string& GetEtag() const { return etag_; }

  // The position of `name` in the schema's inputs, or -1.
  int FindInput(std::string_view name) const;

  // {"id":...,"target":...,"categories":[...],"inputs":[{"name":...,"kind":...}],
  //  "predictors":[the same],"version":...,"sha256":...,"deployed_at":...}
  // (version null when the document gives none; "predictors" deprecated).
  const std::string& SchemaJson() const { return schemaJson_; }

 private:
  std::string id_;
  std::unique_ptr<bnscore::Model> model_;
  std::shared_ptr<ModelMetrics> metrics_;
  bnscore::service::DocumentInfo info_;
  std::string etag_;
  // Keys view the names held by the model's schema.
  std::unordered_map<std::string_view, int> inputs_;
  std::vector<std::string> categoryLiterals_;
  std::string schemaJson_;
};

}  // namespace bnscore::service

#endif  // BNSCORE_SERVICE_DEPLOYEDMODEL_H_
