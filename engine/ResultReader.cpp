#include "engine/ResultReader.h"

#include <limits>

namespace bnscore::internal {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

}  // namespace

bnscore::Outcome ResultReader::Read(const MCScore::MCStatus& status, const ScoreResult* result,
                                    const ScoreClsResult* clsResult, bool predictionOnly,
                                    std::span<double> probabilities) {
  bnscore::Outcome outcome;
  outcome.status = static_cast<int>(status.GetCode());
  outcome.prediction = result != nullptr ? categories_.IndexOf(result->GetPrediction()) : -1;
  const bool scored = outcome.status == bnscore::kScored && result != nullptr && !predictionOnly;
  if (scored) outcome.confidence = result->GetConfidence();
  if (probabilities.empty()) return outcome;

  const std::size_t count = categories_.Size();
  if (!scored || clsResult == nullptr) {
    for (std::size_t c = 0; c < count; ++c) probabilities[c] = kNaN;
    return outcome;
  }
  const auto& percents = clsResult->GetAllValuePercent();
  bool same = percents.size() == listValues_.size();
  for (std::size_t i = 0; same && i < percents.size(); ++i) {
    same = percents[i].first == listValues_[i];
  }
  if (!same) Learn(percents);
  for (std::size_t c = 0; c < count; ++c) {
    const int entry = entryOf_[c];
    probabilities[c] = entry >= 0 ? percents[static_cast<std::size_t>(entry)].second : kNaN;
  }
  return outcome;
}

void ResultReader::Learn(const std::vector<std::pair<const ScoreValue*, double>>& percents) {
  listValues_.clear();
  for (const auto& entry : percents) listValues_.push_back(entry.first);
  entryOf_.resize(categories_.Size());
  for (std::size_t c = 0; c < categories_.Size(); ++c)
    entryOf_[c] = categories_.FindEntry(c, percents);
}

}  // namespace bnscore::internal
