#ifndef BNSCORE_SERVICE_MODELREGISTRY_H_
#define BNSCORE_SERVICE_MODELREGISTRY_H_

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "service/DeployedModel.h"

namespace bnscore::service {

// The deployed models by id. Deploying under an id that is in use replaces
// its model at once: a request that already holds the old DeployedModel
// finishes with it, and the old model is deleted when the last such request
// lets go of it. All members may be called from any thread.
class ModelRegistry {
 public:
  // The model deployed under `id`, or null.
  std::shared_ptr<const DeployedModel> Find(std::string_view id) const;

  // Deploys `model` under its id; returns true when it replaced one.
  bool Deploy(std::shared_ptr<const DeployedModel> model);

  // Removes the model of `id`; returns false when there was none.
  bool Remove(const std::string& id);

  // The deployed ids, in increasing order.
  std::vector<std::string> Ids() const;

 private:
  mutable std::mutex mutex_;
  std::map<std::string, std::shared_ptr<const DeployedModel>, std::less<>> models_;
};

}  // namespace bnscore::service

#endif  // BNSCORE_SERVICE_MODELREGISTRY_H_
