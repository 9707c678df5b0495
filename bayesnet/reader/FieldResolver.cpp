#include "bayesnet/reader/FieldResolver.h"

#include "host/interfaces/VkException.h"

std::string FieldResolver::Resolve(const std::string& name) const {
  if (dictionary_->GetVariable(name) != nullptr) return name;
  if (transformation_ != nullptr && transformation_->GetVariable(name) != nullptr) {
    return model_.GetDataField(name);
  }
  throw VkException(VkException::NameNotFound, name + "Variable name not found in dictionary.");
}
