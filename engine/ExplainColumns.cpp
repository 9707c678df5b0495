#include "engine/ExplainColumns.h"

#include <cmath>

#include "engine/EngineError.h"
#include "bnscore/JsonText.h"

namespace bnscore::internal {

namespace {

std::string Join(const std::vector<std::string>& parts) {
  std::string text;
  for (std::size_t i = 0; i < parts.size(); ++i) {
    if (i > 0) text += '+';
    text += parts[i];
  }
  return text;
}

}  // namespace

bnscore::Reason MakeReason(const EvidenceInference::Term& term) {
  bnscore::Reason reason;
  reason.field = term.fields.empty() ? std::string("(prior)") : Join(term.fields);
  reason.value = Join(term.values);
  reason.logOdds = term.logOdds;
  return reason;
}

ExplainColumns::ExplainColumns(ScoreModel& model, const bnscore::LoadOptions& options, int count)
    : inference_(dynamic_cast<EvidenceInference*>(&model)),
      derivedInRecord_(options.derivedInRecord),
      count_(count > 0 ? static_cast<std::size_t>(count) : 0) {
  if (inference_ == nullptr) throw EngineError("--explain: the model plug-in offers no inference");
  options_.sumOutMissing = options.missing == bnscore::MissingValues::kMarginalize;
  options_.unknownAsMissing = options.unknown == bnscore::UnknownValues::kMissing;
}

std::vector<std::string> ExplainColumns::Names(int count) {
  std::vector<std::string> names;
  for (int i = 1; i <= count; ++i) names.push_back("reason_" + std::to_string(i));
  for (int i = 1; i <= count; ++i) names.push_back("logodds_" + std::to_string(i));
  return names;
}

void ExplainColumns::WriteRow(long status, const ScoreCaseRecord& record, CsvWriter& out) {
  terms_.clear();
  if (status == 0) inference_->ExplainEvidence(&record, derivedInRecord_, options_, terms_);
  for (std::size_t i = 0; i < count_; ++i) {
    if (i < terms_.size()) {
      joined_ = terms_[i].fields.empty() ? std::string("(prior)") : Join(terms_[i].fields);
      out.WriteField(joined_);
    } else {
      out.WriteField({});
    }
  }
  for (std::size_t i = 0; i < count_; ++i) {
    out.WriteField(i < terms_.size() ? FormatNumberView(terms_[i].logOdds, text_)
                                     : std::string_view());
  }
}

std::string_view ExplainColumns::Json(long status, const ScoreCaseRecord& record) {
  terms_.clear();
  if (status == 0) inference_->ExplainEvidence(&record, derivedInRecord_, options_, terms_);
  json_ = ",\"explanation\":[";
  for (std::size_t i = 0; i < terms_.size() && i < count_; ++i) {
    const bnscore::Reason reason = MakeReason(terms_[i]);
    json_ += i == 0 ? "{\"field\":" : ",{\"field\":";
    AppendJsonString(json_, reason.field);
    json_ += ",\"value\":";
    AppendJsonString(json_, reason.value);
    json_ += ",\"logOdds\":";
    json_ += std::isfinite(reason.logOdds) ? FormatNumberView(reason.logOdds, text_) : "null";
    json_ += '}';
  }
  json_ += ']';
  return json_;
}

}  // namespace bnscore::internal
