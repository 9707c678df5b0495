#include "engine/ScoringSlotPool.h"

namespace bnscore::internal {

ScoringSlotPool::Lease ScoringSlotPool::Acquire() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!idle_.empty()) {
      std::unique_ptr<ScoringSlot> slot = std::move(idle_.back());
      idle_.pop_back();
      return Lease(*this, std::move(slot));
    }
  }
  return Lease(*this, factory_());
}

void ScoringSlotPool::GiveBack(std::unique_ptr<ScoringSlot> slot) {
  if (!slot) return;
  std::lock_guard<std::mutex> lock(mutex_);
  // The vector keeps its capacity, so giving back allocates only while the
  // pool grows.
  idle_.push_back(std::move(slot));
}

}  // namespace bnscore::internal
