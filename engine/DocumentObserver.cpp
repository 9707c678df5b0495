#include <utility>

#include "engine/ModelInternals.h"

namespace bnscore {

namespace {

thread_local ModelInternals::DocumentObserver* current = nullptr;

}  // namespace

ModelInternals::DocumentObserver::DocumentObserver(Observe observe)
    : observe_(std::move(observe)), previous_(current) {
  current = this;
}

ModelInternals::DocumentObserver::~DocumentObserver() { current = previous_; }

void ModelInternals::DocumentObserver::Notify(const xercesc::DOMDocument& document) {
  if (current != nullptr && current->observe_) current->observe_(document);
}

}  // namespace bnscore
