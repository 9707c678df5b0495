#include "engine/ScoringSlot.h"

#include <cmath>
#include <limits>

#include "engine/DecimalText.h"
#include "host/NumberText.h"
#include "host/NumericValue.h"

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

}  // namespace

ScoringSlot::ScoringSlot(ScoreModel& model, const FieldLayout& layout,
                         const TargetCategories& categories, const bnscore::LoadOptions& options)
    : model_(model),
      layout_(layout),
      categories_(categories),
      derivedInRecord_(options.derivedInRecord),
      predictionOnly_(options.predictionOnly),
      record_(layout.GetNames(), !options.byName) {}

ScoringSlot::~ScoringSlot() = default;

void ScoringSlot::SetNumber(int position, double value) {
  if (std::isnan(value)) {
    record_.ClearValue(position);
  } else if (layout_.IsNumeric(position)) {
    record_.SetNumber(position, value);
  } else {
    NumberTextBuffer buffer;
    record_.SetText(position, FormatNumberView(value, buffer));
  }
}

void ScoringSlot::SetText(int position, std::string_view text) {
  // As RecordFiller reads a CSV cell.
  if (text.empty()) {
    record_.ClearValue(position);
  } else if (layout_.IsNumeric(position)) {
    double value;
    if (!ParsePlainDecimal(text, value) && !ParseNumber(text, value)) {
      value = NumericValue::GetSysmisValue();
    }
    record_.SetNumber(position, value);
  } else {
    record_.SetText(position, text);
  }
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
  const MCScore::MCStatus status = model_.GetScore(&record_, rawResult_, derivedInRecord_);
  if (rawResult_ != result_.get()) {
    // The model replaced the result object and deleted the old one.
    (void)result_.release();
    result_.reset(rawResult_);
    clsResult_ = dynamic_cast<const ScoreClsResult*>(rawResult_);
  }
  bnscore::Outcome outcome;
  outcome.status = static_cast<int>(status.GetCode());
  outcome.prediction =
      rawResult_ != nullptr ? categories_.IndexOf(rawResult_->GetPrediction()) : -1;
  const bool scored = outcome.status == bnscore::kScored && rawResult_ != nullptr && !predictionOnly_;
  if (scored) outcome.confidence = rawResult_->GetConfidence();
  if (probabilities.empty()) return outcome;
  for (std::size_t i = 0; i < categories_.Size(); ++i) {
    const double* percent =
        scored && clsResult_ != nullptr ? categories_.FindPercent(i, *clsResult_) : nullptr;
    probabilities[i] = percent != nullptr ? *percent : kNaN;
  }
  return outcome;
}
