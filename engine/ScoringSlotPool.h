#ifndef BNSCORE_ENGINE_SCORINGSLOTPOOL_H_
#define BNSCORE_ENGINE_SCORINGSLOTPOOL_H_

#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "engine/ScoringSlot.h"

namespace bnscore::internal {

// The ScoringSlots of one loaded model, kept between calls so that scoring
// allocates nothing once each concurrent caller has had a slot. Acquire
// lends an idle slot (making one when none is idle); the Lease gives it back
// when it goes. Safe to use from many threads at once. Owns its slots; every
// lease must end before the pool goes.
class ScoringSlotPool {
 public:
  using Factory = std::function<std::unique_ptr<ScoringSlot>()>;

  explicit ScoringSlotPool(Factory factory) : factory_(std::move(factory)) {}

  class Lease {
   public:
    Lease(ScoringSlotPool& pool, std::unique_ptr<ScoringSlot> slot)
        : pool_(pool), slot_(std::move(slot)) {}
    ~Lease() { pool_.GiveBack(std::move(slot_)); }
    Lease(const Lease&) = delete;
    Lease& operator=(const Lease&) = delete;

    ScoringSlot& operator*() const { return *slot_; }
    ScoringSlot* operator->() const { return slot_.get(); }

   private:
    ScoringSlotPool& pool_;
    std::unique_ptr<ScoringSlot> slot_;
  };

  Lease Acquire();

 private:
  void GiveBack(std::unique_ptr<ScoringSlot> slot);

  Factory factory_;
  std::mutex mutex_;
  std::vector<std::unique_ptr<ScoringSlot>> idle_;  // guarded by mutex_
};

}  // namespace bnscore::internal

#endif  // BNSCORE_ENGINE_SCORINGSLOTPOOL_H_
