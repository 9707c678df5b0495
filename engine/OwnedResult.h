#ifndef BNSCORE_ENGINE_OWNEDRESULT_H_
#define BNSCORE_ENGINE_OWNEDRESULT_H_

#include <memory>

#include "host/interfaces/ScoreModel.h"
#include "host/interfaces/ScoreResult.h"

// The result object a model fills for one caller, reused from record to
// record.
//
// The host's GetScore takes the result as a reference to a raw pointer:
// the first call makes the object, later calls refill it, and a model may
// replace it (deleting the old one itself). OwnedResult hands GetScore that
// pointer and owns whatever it points to afterwards. The object was made
// by the model's plug-in: an OwnedResult must go before that library is
// closed.
class OwnedResult {
 public:
  // Scores `record` into the held result.
  MCScore::MCStatus Score(ScoreModel& model, const ScoreCaseRecord* record, bool derivedInRecord) {
    const MCScore::MCStatus status = model.GetScore(record, raw_, derivedInRecord);
    if (raw_ != owned_.get()) {
      (void)owned_.release();  // the model replaced it and deleted it
      owned_.reset(raw_);
    }
    return status;
  }
  // What the last Score left (null before the first, or when the model
  // gave none).
  const ScoreResult* Get() const { return raw_; }

 private:
  ScoreResult* raw_ = nullptr;  // what GetScore sees; owned by owned_
  std::unique_ptr<ScoreResult> owned_;
};

#endif  // BNSCORE_ENGINE_OWNEDRESULT_H_
