#ifndef BNSCORE_ENGINE_OWNEDRESULT_H_
#define BNSCORE_ENGINE_OWNEDRESULT_H_

#include <memory>

#include "bnscore/bnscore.h"
#include "host/interfaces/EvidenceInference.h"
#include "host/interfaces/ScoreModel.h"
#include "host/interfaces/ScoreResult.h"

namespace bnscore::internal {

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
  // Scores through the model's EvidenceInference with `options` from now
  // on, when the load options ask for it and the model offers one.
  void UseInference(ScoreModel& model, const bnscore::LoadOptions& options) {
    inference_ = nullptr;
    if (options.missing != bnscore::MissingValues::kMarginalize) return;
    inference_ = dynamic_cast<EvidenceInference*>(&model);
    options_.sumOutMissing = true;
    options_.unknownAsMissing = options.unknown == bnscore::UnknownValues::kMissing;
  }

  // Scores `record` into the held result.
  MCScore::MCStatus Score(ScoreModel& model, const ScoreCaseRecord* record, bool derivedInRecord) {
    const MCScore::MCStatus status =
        inference_ != nullptr ? inference_->ScoreEvidence(record, raw_, derivedInRecord, options_)
                              : model.GetScore(record, raw_, derivedInRecord);
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
  ScoreResult* raw_ = nullptr;              // what GetScore sees; owned by owned_
  EvidenceInference* inference_ = nullptr;  // the model, when it scores
  EvidenceInference::Options options_;
  std::unique_ptr<ScoreResult> owned_;
};

}  // namespace bnscore::internal

#endif  // BNSCORE_ENGINE_OWNEDRESULT_H_
