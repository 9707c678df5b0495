#include "service/ModelRegistry.h"

namespace bnscore::service {

std::shared_ptr<const DeployedModel> ModelRegistry::Find(std::string_view id) const {
  std::lock_guard<std::mutex> lock(mutex_);
  auto found = models_.find(id);
  return found == models_.end() ? nullptr : found->second;
}

bool ModelRegistry::Deploy(std::shared_ptr<const DeployedModel> model) {
  std::shared_ptr<const DeployedModel> old;  // released after the lock
  std::lock_guard<std::mutex> lock(mutex_);
  std::shared_ptr<const DeployedModel>& slot = models_[model->GetId()];
  old = std::move(slot);
  slot = std::move(model);
  return old != nullptr;
}

bool ModelRegistry::Remove(const std::string& id) {
  std::shared_ptr<const DeployedModel> old;
  std::lock_guard<std::mutex> lock(mutex_);
  auto found = models_.find(id);
  if (found == models_.end()) return false;
  old = std::move(found->second);
  models_.erase(found);
  return true;
}

std::vector<std::string> ModelRegistry::Ids() const {
  std::lock_guard<std::mutex> lock(mutex_);
  std::vector<std::string> ids;
  for (const auto& entry : models_) ids.push_back(entry.first);
  return ids;
}

}  // namespace bnscore::service
