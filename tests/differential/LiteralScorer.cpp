#include "tests/differential/LiteralScorer.h"

#include <cmath>
#include <string>
#include <vector>

#include "host/data/NumericValue.h"
#include "host/data/StringValue.h"
#include "host/data/TransformationDictionary.h"
#include "bayesnet/result/BayesNetClsResult.h"

namespace {

const double kSysmis = NumericValue::GetSysmisValue();

int ToCode(double x) { return static_cast<int>(x + 0.5); }

// The first position of `name` among the predictor names, or -1.
int IndexOf(const BayesNetModel& model, const std::string& name) {
  const std::vector<std::string> names = model.GetPredictorVarNames();
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (names[i] == name) return static_cast<int>(i);
  }
  return -1;
}

// The node's probability given its parents, for target category c and the
// predictors' codes (kSysmis: none).
double LocalScore(const BayesNetModel& model, const ExpectedFallback& fallback,
                  const std::string& node, const std::vector<double>& codes, int c) {
  static const BayesNetModel::CPTable kNoTable;
  const auto& tables = model.GetCPT();
  const auto tableEntry = tables.find(node);
  const BayesNetModel::CPTable& table = tableEntry != tables.end() ? tableEntry->second : kNoTable;
  const auto& parentsTable = model.GetParentsTable();
  const auto parentsEntry = parentsTable.find(node);
  const std::vector<std::string> parents =
      parentsEntry != parentsTable.end() ? parentsEntry->second : std::vector<std::string>();
  std::vector<int> config(parents.size(), 0);

  const ScoreDictVar* target = model.ScoredTarget();
  double x = kSysmis;
  if (target != nullptr && node == target->GetName()) {
    x = c;
  } else {
    const int i = IndexOf(model, node);
    if (i >= 0 && i < static_cast<int>(codes.size())) x = codes[i];
  }

  if (parents.empty()) {
    if (x == kSysmis) return 0.0;
    if (table.empty()) return fallback.For(node);
    const std::vector<double>& row = table.begin()->second;
    const int code = ToCode(x);
    return code >= 0 && code < static_cast<int>(row.size()) ? row[code] : 0.0;
  }
  for (std::size_t j = 0; j < parents.size(); ++j) {
    if (target != nullptr && parents[j] == target->GetName()) {
      config[j] = c;
      continue;
    }
    const int k = IndexOf(model, parents[j]);
    if (k < 0 || k >= static_cast<int>(codes.size()) || codes[k] == kSysmis) return 0.0;
    config[j] = ToCode(codes[k]);
  }
  if (x == kSysmis) return 0.0;
  const auto row = table.find(config);
  if (row == table.end()) return fallback.For(node);
  const int code = ToCode(x);
  return code >= 0 && code < static_cast<int>(row->second.size()) ? row->second[code] : 0.0;
}

void SetPrediction(const BayesNetModel& model, BayesNetClsResult* result, bool created,
                   const ScoreValue* category) {
  const ScoreDictVar* target = model.ScoredTarget();
  const bool numeric = target == nullptr || target->GetValueType() == ScoreValue::Numeric;
  ScoreValue* held = result->GetMutablePrediction();
  if (!created && held != nullptr) {
    if (numeric) {
      if (auto* number = dynamic_cast<NumericValue*>(held)) {
        number->SetDoubleValue(category != nullptr ? category->GetDouble() : kSysmis);
      }
    } else if (auto* text = dynamic_cast<StringValue*>(held)) {
      text->SetString(category != nullptr ? category->GetString() : std::string());
    }
    return;
  }
  if (numeric) {
    result->SetPrediction(new NumericValue(category != nullptr ? category->GetDouble() : kSysmis));
  } else {
    result->SetPrediction(
        new StringValue(category != nullptr ? category->GetString() : std::string()));
  }
}

}  // namespace

double ExpectedFallback::For(const std::string& node) const {
  if (!uniform) return 0.0;
  const auto count = categories.find(node);
  if (count == categories.end() || count->second <= 0) return 1.0;
  return 1.0 / count->second;
}

MCScore::MCStatus ScoreLiterally(const BayesNetModel& model, const ScoreCaseRecord* record,
                                 ScoreResult*& result, bool derivedInRecord,
                                 const ExpectedFallback& fallback) {
  const MCScore::MCStatus missing(90029, false);
  const MCScore::MCStatus noScore(90021, false);
  if (record == nullptr) return missing;

  bool created = false;
  if (result == nullptr || result->GetScoreResultType() != ScoreResult::BayesNetClassification) {
    delete result;
    result = new BayesNetClsResult(model.ScoredTarget());
    created = true;
  }
  auto* cls = static_cast<BayesNetClsResult*>(result);

  const ScoreCaseRecord* derived = nullptr;
  TransformationDictionary* transformation = model.GetTransformationDictionary();
  if (model.NeedDerivedPredictor() && transformation != nullptr && !derivedInRecord) {
    derived = transformation->GetValuesForDeriedVars(record, model.GetDictionary());
  }

  // Every predictor's code; one without a code makes the record missing.
  const std::vector<const ScoreDictVar*>& vars = model.GetPredictorVars();
  const int n = static_cast<int>(model.GetPredictorVarNames().size());
  std::vector<double> codes(n, kSysmis);
  int valid = 0;
  for (int i = 0; i < n; ++i) {
    if (i >= static_cast<int>(vars.size()) || vars[i] == nullptr) continue;
    const ScoreDictVar* var = vars[i];
    const ScoreValue* value =
        record->IsIndexed() ? record->GetValue(var->GetIndex()) : record->GetValue(var->GetName());
    if (value == nullptr && derived != nullptr) value = derived->GetValue(var->GetName());
    if (value == nullptr) continue;
    if (var->GetMeasure() == ScoreDictVar::Continuous && var->IsMissingValue(value)) continue;
    const IVkEncoder* encoder = model.GetEncoderAt(i);
    if (encoder == nullptr) continue;
    const int k = encoder->GetCode(value);
    if (k < 0) continue;
    codes[i] = k;
    ++valid;
  }

  const std::vector<const ScoreValue*>& categories = model.GetTargetCategories();
  const int numCategories = static_cast<int>(categories.size());
  MCScore::MCStatus status = missing;
  std::vector<double> scores(numCategories, 0.0);
  int best = 0;
  bool scored = false;
  if (valid == n) {
    status = noScore;
    // The target's factor, then each child's in name order.
    const ScoreDictVar* target = model.ScoredTarget();
    const std::string targetName = target != nullptr ? target->GetName() : std::string();
    std::vector<std::string> children;
    const auto& links = model.GetLinkSource();
    if (const auto arcs = links.find(targetName); arcs != links.end()) {
      for (const auto& arc : arcs->second) {
        if (arc.second == BayesNetModel::ArcOut) children.push_back(arc.first);
      }
    }
    double sum = 0.0;
    for (int c = 0; c < numCategories; ++c) {
      double s = LocalScore(model, fallback, targetName, codes, c);
      for (const std::string& child : children) {
        s = s * LocalScore(model, fallback, child, codes, c);
      }
      scores[c] = s;
      sum += s;
    }
    if (numCategories > 0 && sum > 0.0 && !std::isinf(sum)) {
      for (int c = 0; c < numCategories; ++c) scores[c] = scores[c] / sum;
      for (int c = 1; c < numCategories; ++c) {
        if (scores[c] > scores[best]) best = c;
      }
      scored = true;
    }
  }

  if (scored) {
    if (!model.GetPredictionOnly()) {
      cls->SetConfidence(scores[best]);
      for (int c = 0; c < numCategories; ++c) cls->AddValuePercent(categories[c], scores[c]);
    }
    SetPrediction(model, cls, created, categories[best]);
    return MCScore::MCStatus();
  }
  // Missing or no score: every category gets the system-missing value and
  // the prediction is empty; the confidence stays as it was.
  if (!model.GetPredictionOnly()) {
    for (int c = 0; c < numCategories; ++c) cls->AddValuePercent(categories[c], kSysmis);
  }
  SetPrediction(model, cls, created, nullptr);
  return status;
}
