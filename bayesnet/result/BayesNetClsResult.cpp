#include "bayesnet/result/BayesNetClsResult.h"

namespace {

// Whether a listed value matches `value`: the listed value is asked, with
// the new one as the argument.
bool Matches(const ScoreValue* listed, const ScoreValue* value) {
  if (listed == nullptr || value == nullptr) return listed == value;
  return *listed == *value;
}

}  // namespace

BayesNetClsResult::BayesNetClsResult(const ScoreDictVar* target)
    : target_(target), prediction_(nullptr), confidence_(-1.0) {}

BayesNetClsResult::BayesNetClsResult(const BayesNetClsResult& other)
    : ScoreClsResult(other),
      target_(other.target_),
      prediction_(other.prediction_ != nullptr ? other.prediction_->Clone() : nullptr),
      valuePercents_(other.valuePercents_),
      advices_(other.advices_),
      confidence_(other.confidence_) {}

BayesNetClsResult& BayesNetClsResult::operator=(const BayesNetClsResult& other) {
  if (this == &other) return *this;
  ScoreValue* copy = other.prediction_ != nullptr ? other.prediction_->Clone() : nullptr;
  delete prediction_;
  prediction_ = copy;
  target_ = other.target_;
  valuePercents_ = other.valuePercents_;
  advices_ = other.advices_;
  confidence_ = other.confidence_;
  return *this;
}

BayesNetClsResult::~BayesNetClsResult() {
  valuePercents_.clear();  // borrowed values: not deleted
  advices_.clear();
  delete prediction_;
}

void BayesNetClsResult::SetPrediction(ScoreValue* value) { prediction_ = value; }

void BayesNetClsResult::AddAdvice(ResultAdvice advice) { advices_.push_back(std::move(advice)); }

bool BayesNetClsResult::AddValuePercent(const ScoreValue* value, double percent) {
  for (auto& entry : valuePercents_) {
    if (Matches(entry.first, value)) {
      entry.second = percent;
      return true;
    }
  }
  valuePercents_.emplace_back(value, percent);
  return true;
}

double BayesNetClsResult::GetPercent(const ScoreValue* value) const {
  for (const auto& entry : valuePercents_) {
    if (Matches(entry.first, value)) return entry.second;
  }
  return -1.0;
}

bool BayesNetClsResult::ReplacePercents(const ScoreValue* const* values, const double* percents,
                                        std::size_t count) {
  if (valuePercents_.empty()) {
    valuePercents_.reserve(count);
    for (std::size_t i = 0; i < count; ++i) valuePercents_.emplace_back(values[i], percents[i]);
    return true;
  }
  if (valuePercents_.size() != count) return false;
  for (std::size_t i = 0; i < count; ++i) {
    if (valuePercents_[i].first != values[i]) return false;
  }
  for (std::size_t i = 0; i < count; ++i) valuePercents_[i].second = percents[i];
  return true;
}
