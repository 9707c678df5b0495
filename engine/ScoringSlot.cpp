#include "engine/ScoringSlot.h"

#include "engine/RecordFiller.h"
#include "host/text/NumberText.h"

namespace bnscore::internal {

ScoringSlot::ScoringSlot(ScoreModel& model, const FieldLayout& layout,
                         const TargetCategories& categories, const bnscore::LoadOptions& options)
    : model_(model),
      layout_(layout),
      derivedInRecord_(options.derivedInRecord),
      predictionOnly_(options.predictionOnly),
      record_(layout.GetNames(), !options.byName),
      reader_(categories) {
  result_.UseInference(model, options);
  evidence_ = bnscore::EvidenceOptions{options.missing, options.unknown};
  inference_ = dynamic_cast<EvidenceInference*>(&model);
  inferenceOptions_.sumOutMissing = options.missing == bnscore::MissingValues::kMarginalize;
  inferenceOptions_.unknownAsMissing = options.unknown == bnscore::UnknownValues::kMissing;
}

ScoringSlot::~ScoringSlot() = default;

void ScoringSlot::SetNumberAsText(int position, double value) {
  NumberTextBuffer buffer;
  record_.SetText(position, FormatNumberView(value, buffer));
}

void ScoringSlot::SetText(int position, std::string_view text) {
  FillField(text, layout_.IsNumeric(position), rules_, position, record_);
}

void ScoringSlot::SetCell(int position, const bnscore::Cell& cell) {
  switch (cell.kind) {
    case bnscore::Cell::Kind::kNumber:
      SetNumber(position, cell.number);
      break;
    case bnscore::Cell::Kind::kText:
      SetText(position, cell.text);
      break;
    case bnscore::Cell::Kind::kMissing:
      record_.ClearValue(position);
      break;
  }
}

bnscore::Outcome ScoringSlot::Score(std::span<double> probabilities) {
  const MCScore::MCStatus status = result_.Score(model_, &record_, derivedInRecord_);
  if (result_.Get() != seen_) {  // a new result object
    seen_ = result_.Get();
    clsResult_ = dynamic_cast<const ScoreClsResult*>(seen_);
  }
  return reader_.Read(status, seen_, clsResult_, predictionOnly_, probabilities);
}

int ScoringSlot::Query(const std::vector<int>& nodes, double* posteriors) {
  EvidenceInference::Options options = inferenceOptions_;
  options.sumOutMissing = true;
  return static_cast<int>(
      inference_->QueryNodes(&record_, derivedInRecord_, options, nodes, posteriors).GetCode());
}

int ScoringSlot::Explain(std::vector<EvidenceInference::Term>& terms) {
  return static_cast<int>(
      inference_->ExplainEvidence(&record_, derivedInRecord_, inferenceOptions_, terms).GetCode());
}

void ScoringSlot::SetEvidence(const bnscore::EvidenceOptions& evidence) {
  if (evidence.missing == evidence_.missing && evidence.unknown == evidence_.unknown) return;
  evidence_ = evidence;
  bnscore::LoadOptions options;
  options.missing = evidence.missing;
  options.unknown = evidence.unknown;
  result_.UseInference(model_, options);
  inferenceOptions_.sumOutMissing = evidence.missing == bnscore::MissingValues::kMarginalize;
  inferenceOptions_.unknownAsMissing = evidence.unknown == bnscore::UnknownValues::kMissing;
}

}  // namespace bnscore::internal
