#include "fuzz/PmmlFuzzHarness.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "bayesnet/GiveMyTranslator.h"
#include "fuzz/DiscardStream.h"
#include "host/data/BaseCaseRecord.h"
#include "host/data/TransformationDictionary.h"
#include "host/interfaces/ScoreModel.h"
#include "host/interfaces/ScoreResult.h"
#include "host/interfaces/ScoreTranslator.h"
#include "host/interfaces/ScoreValueLabel.h"
#include "host/interfaces/VkException.h"
#include "host/text/NumberText.h"
#include "host/xml/PmmlParser.h"

namespace {

// At most this many records per input, so that a long data part costs
// little; cells beyond the record's fields are ignored.
constexpr std::size_t kMaxRecords = 8;

void AddNames(const ScoreDictionary* dictionary, std::vector<std::string>& names) {
  if (dictionary == nullptr) return;
  std::vector<ScoreDictVar*> vars;
  dictionary->GetVariables(vars);
  for (const ScoreDictVar* var : vars) names.push_back(var->GetName());
}

std::vector<std::string_view> SplitCells(std::string_view line) {
  std::vector<std::string_view> cells;
  std::size_t start = 0;
  for (std::size_t i = 0; i <= line.size(); ++i) {
    if (i == line.size() || line[i] == ',' || line[i] == ';') {
      cells.push_back(line.substr(start, i - start));
      start = i + 1;
    }
  }
  return cells;
}

void Fill(BaseCaseRecord& record, const std::vector<std::string_view>& cells) {
  record.ClearAll();
  for (int i = 0; i < record.GetNumFields(); ++i) {
    if (static_cast<std::size_t>(i) >= cells.size()) break;
    std::string_view cell = cells[static_cast<std::size_t>(i)];
    double number;
    if (cell.empty()) {
      record.ClearValue(i);
    } else if (ParseNumber(cell, number)) {
      record.SetNumber(i, number);
    } else {
      record.SetText(i, cell);
    }
  }
}

// A scored row must be whole: one probability per target category, adding
// up to 1, and the prediction's probability equal to the confidence.
// Aborts (a finding) otherwise.
void CheckScoredRow(const ScoreModel& model, const ScoreResult& result) {
  const auto* cls = dynamic_cast<const ScoreClsResult*>(&result);
  const ScoreDictVar* target = model.GetTargetVar();
  const ScoreValueLabelSet* labels = target != nullptr ? target->GetValueLabelSet() : nullptr;
  const char* fault = nullptr;
  if (cls == nullptr || labels == nullptr || result.GetPrediction() == nullptr) {
    fault = "no classification result, target categories or prediction";
  } else {
    const auto& percents = cls->GetAllValuePercent();
    // Rounding: each term is off by an ulp of its size at most.
    double sum = 0.0;
    double size = 1.0;
    for (const auto& entry : percents) {
      sum += entry.second;
      size += std::fabs(entry.second);
    }
    if (percents.size() != labels->GetLabels().size()) {
      fault = "not one probability per target category";
    } else if (!(std::fabs(sum - 1.0) <= 1e-9 * size)) {
      fault = "the probabilities do not add up to 1";
    } else if (!(cls->GetPercent(result.GetPrediction()) == result.GetConfidence())) {
      fault = "the prediction's probability is not the confidence";
    }
  }
  if (fault == nullptr) return;
  std::fprintf(stderr, "pmml_fuzzer: inconsistent scored row: %s\n", fault);
  std::abort();
}

// Scores every line of `records` in the four ways, reusing one result.
void ScoreRecords(ScoreModel& model, std::string_view records) {
  std::vector<std::string> names;
  AddNames(model.GetDictionary(), names);
  AddNames(model.GetTransformationDictionary(), names);
  BaseCaseRecord indexed(names, true);
  BaseCaseRecord byName(names, false);

  // The one result: made by the first GetScore, handed back to the later
  // ones, deleted here before the model.
  ScoreResult* raw = nullptr;
  std::unique_ptr<ScoreResult> result;
  auto score = [&](const ScoreCaseRecord* record, bool derivedInRecord) {
    const MCScore::MCStatus status = model.GetScore(record, raw, derivedInRecord);
    if (raw != result.get()) {
      result.release();  // the model deleted the old one
      result.reset(raw);
    }
    if (status.GetCode() == 0 && !model.GetPredictionOnly()) CheckScoredRow(model, *raw);
  };

  // A null record first; then the data lines (at least one, empty).
  score(nullptr, false);
  std::size_t count = 0;
  std::size_t start = 0;
  do {
    std::size_t end = records.find('\n', start);
    if (end == std::string_view::npos) end = records.size();
    std::vector<std::string_view> cells = SplitCells(records.substr(start, end - start));
    Fill(indexed, cells);
    Fill(byName, cells);
    for (bool derived : {false, true}) {
      score(&indexed, derived);
      score(&byName, derived);
    }
    start = end + 1;
  } while (start < records.size() && ++count < kMaxRecords);

  model.SetPredictionOnly(true);
  score(&indexed, false);
  model.SetPredictionOnly(false);
}

}  // namespace

bool RunPmmlInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const std::size_t separator = input.find('\0');
  const std::string text(input.substr(0, separator));
  const std::string_view records =
      separator == std::string_view::npos ? std::string_view() : input.substr(separator + 1);

  // Deleted after the model: the translator's code made it.
  std::unique_ptr<ScoreTranslator> translator(GiveMyTranslator());
  std::unique_ptr<ScoreModel> model;
  try {
    DocumentPtr document = PmmlParser::ParseText(text, "fuzz.pmml");
    model.reset(translator->ParseFromTree(document.get(), "UTF-8"));
  } catch (const VkException&) {
    return false;
  }
  if (!model) return false;
  ScoreRecords(*model, records);
  for (ScoreModel::VarRole role : {ScoreModel::TargetRole, ScoreModel::InputRole}) {
    std::unique_ptr<ScoreDictionary> vars(model->GetVarsOfRole(role));
  }
  DiscardStream discard;
  model->Display(discard);
  return true;
}
