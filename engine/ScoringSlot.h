#ifndef BNSCORE_ENGINE_SCORINGSLOT_H_
#define BNSCORE_ENGINE_SCORINGSLOT_H_

#include <memory>
#include <span>
#include <vector>

#include "bnscore/bnscore.h"
#include "engine/FieldLayout.h"
#include "engine/OwnedResult.h"
#include "engine/RecordFiller.h"
#include "engine/ResultReader.h"
#include "engine/TargetCategories.h"
#include "host/data/BaseCaseRecord.h"
#include "host/interfaces/EvidenceInference.h"
#include "host/interfaces/ScoreModel.h"
#include "host/interfaces/ScoreResult.h"

namespace bnscore::internal {

// What one thread needs to score records with a loaded model: a case record
// of the model's FieldLayout and the result object the model fills. Cells
// are set with SetCell, then Score scores the record as it stands.
//
// The result object is the plug-in's: the slot deletes it, so every slot
// must go before the plug-in library is closed. The layout, the categories
// and the model must outlive the slot. One thread at a time; allocates
// nothing once the record's values and the result have reached their size.
class ScoringSlot {
 public:
  ScoringSlot(ScoreModel& model, const FieldLayout& layout, const TargetCategories& categories,
              const bnscore::LoadOptions& options);
  ~ScoringSlot();

  ScoringSlot(const ScoringSlot&) = delete;
  ScoringSlot& operator=(const ScoringSlot&) = delete;

  // Sets the field at `position` of the layout: a number for a numeric
  // field (a text there is read as bnscore reads a CSV cell), a text for
  // any other (a number there becomes its shortest round-trip text). A
  // missing cell or a NaN number clears the field.
  void SetCell(int position, const bnscore::Cell& cell);
  // SetCell for a number (inline: the columnar hot path).
  void SetNumber(int position, double value) {
    if (value != value) {
      record_.ClearValue(position);  // NaN: missing
    } else if (layout_.IsNumeric(position)) {
      record_.SetNumber(position, value);
    } else {
      SetNumberAsText(position, value);
    }
  }
  void SetText(int position, std::string_view text);
  // SetText without a copy for a text field: the record views `text`, which
  // must stay valid and unchanged until the field is set or cleared again
  // (ClearAll clears every field).
  void SetTextView(int position, std::string_view text) {
    if (text.empty() || layout_.IsNumeric(position)) {
      SetText(position, text);
    } else {
      record_.SetTextView(position, text);
    }
  }
  void Clear(int position) { record_.ClearValue(position); }
  void ClearAll() { record_.ClearAll(); }

  // Scores the record. Writes one probability per category into
  // `probabilities` when it is not empty (it must then hold at least one
  // per category): NaN unless the status is kScored and the model gives
  // probabilities.
  bnscore::Outcome Score(std::span<double> probabilities);

  // Whether the model offers inference, and through it, for the record as
  // it stands: the posteriors of `nodes` (summing out every field without
  // a usable value), and the terms of the prediction's log-odds. Each
  // returns the status code. REQUIRES: HasInference().
  bool HasInference() const { return inference_ != nullptr; }
  // Treats gaps and unknown values as `evidence` says from now on.
  void SetEvidence(const bnscore::EvidenceOptions& evidence);
  int Query(const std::vector<int>& nodes, double* posteriors);
  int Explain(std::vector<EvidenceInference::Term>& terms);

 private:
  // A number for a text field: its shortest round-trip text.
  void SetNumberAsText(int position, double value);

  ScoreModel& model_;
  const FieldLayout& layout_;
  bool derivedInRecord_;
  bool predictionOnly_;
  BaseCaseRecord record_;
  // How texts given for numeric fields are read: only the empty text is
  // missing, and numbers that are not finite are kept.
  const NumberCellRules rules_{{}, true};
  OwnedResult result_;
  // The last result object seen, and it as a classification result.
  const ScoreResult* seen_ = nullptr;
  const ScoreClsResult* clsResult_ = nullptr;
  ResultReader reader_;
  EvidenceInference* inference_ = nullptr;  // the model's, or null
  EvidenceInference::Options inferenceOptions_;
  bnscore::EvidenceOptions evidence_;  // as the result scores
};

}  // namespace bnscore::internal

#endif  // BNSCORE_ENGINE_SCORINGSLOT_H_
