#include "cli/EvaluateCommand.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <string_view>
#include <vector>

#include "cli/ClassificationMetrics.h"
#include "cli/FileDescriptor.h"
#include "cli/ProgressMeter.h"
#include "cli/RecordSource.h"
#include "cli/ScoreCommand.h"
#include "engine/CsvReader.h"
#include "engine/EngineError.h"
#include "engine/JsonText.h"
#include "engine/RecordFiller.h"
#include "engine/ResultColumns.h"
#include "engine/RowScorer.h"
#include "host/text/NumberText.h"

namespace {

// What evaluating the records found, besides the figures of the records
// evaluated.
struct Tally {
  std::map<long, long> statuses;  // every record, by status
  long notScored = 0;             // status not 0
  long labelMissing = 0;          // status 0, an empty or missing-value label
  long labelUnknown = 0;          // status 0, a label that is no category
  std::string firstUnknownLabel;
  long firstUnknownLine = 0;
  long blankLines = 0;
};

// The index of the category whose text is `text`, or -1.
int FindCategory(const ResultColumns& columns, std::string_view text) {
  for (std::size_t c = 0; c < columns.GetNumCategories(); ++c) {
    if (columns.GetCategoryText(c) == text) return static_cast<int>(c);
  }
  return -1;
}

int FindColumn(const std::vector<std::string>& header, const std::string& name) {
  const auto found = std::find(header.begin(), header.end(), name);
  return found == header.end() ? -1 : static_cast<int>(found - header.begin());
}

std::string LabelColumnName(const ScoreModel& model, const EvaluateOptions& options) {
  if (!options.label.empty()) return options.label;
  const ScoreDictVar* target = model.GetTargetVar();
  if (target == nullptr) throw EngineError("the model has no target field: give --label");
  return target->GetName();
}

std::string FormatFigure(double value) {
  if (std::isnan(value)) return "-";
  NumberTextBuffer buffer;
  return std::string(FormatNumberView(value, buffer));
}

void WriteTable(const std::vector<std::vector<std::string>>& rows, std::ostream& out) {
  std::vector<std::size_t> widths;
  for (const auto& row : rows) {
    widths.resize(std::max(widths.size(), row.size()), 0);
    for (std::size_t i = 0; i < row.size(); ++i) widths[i] = std::max(widths[i], row[i].size());
  }
  for (const auto& row : rows) {
    std::string line;
    for (std::size_t i = 0; i < row.size(); ++i) {
      line += row[i];
      if (i + 1 < row.size()) line.append(widths[i] - row[i].size() + 2, ' ');
    }
    out << "  " << line << '\n';
  }
}

void WriteText(const Tally& tally, const ClassificationMetrics& metrics,
               const ResultColumns& columns, const std::string& label, std::ostream& out) {
  long records = 0;
  for (const auto& entry : tally.statuses) records += entry.second;
  out << "records: " << records << '\n';
  for (const auto& [status, count] : tally.statuses) {
    out << "  status " << status << ": " << count << '\n';
  }
  out << "evaluated: " << metrics.GetRecords() << " (status 0, label a target category)\n";
  out << "not evaluated: " << (records - metrics.GetRecords()) << '\n';
  out << "  status not 0: " << tally.notScored << '\n';
  out << "  label missing: " << tally.labelMissing << '\n';
  out << "  label not a target category: " << tally.labelUnknown;
  if (tally.labelUnknown > 0) {
    out << " (the first: \"" << tally.firstUnknownLabel << "\" on line " << tally.firstUnknownLine
        << ')';
  }
  out << '\n';
  if (tally.blankLines > 0) out << "blank lines skipped: " << tally.blankLines << '\n';
  out << "label column: " << label << '\n';
  out << "accuracy: " << FormatFigure(metrics.GetAccuracy()) << " (" << metrics.GetCorrect()
      << " of " << metrics.GetRecords() << ")\n";
  out << "log-loss: " << FormatFigure(metrics.GetLogLoss()) << '\n';
  out << "Brier score: " << FormatFigure(metrics.GetBrierScore()) << '\n';
  if (metrics.GetNumCategories() == 2) {
    out << "ROC AUC: " << FormatFigure(metrics.GetRocAuc()) << " (positive category: "
        << columns.GetCategoryText(1) << ")\n";
  }

  out << "\nby category:\n";
  std::vector<std::vector<std::string>> rows = {{"category", "precision", "recall", "F1", "support"}};
  for (std::size_t c = 0; c < metrics.GetNumCategories(); ++c) {
    rows.push_back({columns.GetCategoryText(c), FormatFigure(metrics.GetPrecision(c)),
                    FormatFigure(metrics.GetRecall(c)), FormatFigure(metrics.GetF1(c)),
                    std::to_string(metrics.GetSupport(c))});
  }
  WriteTable(rows, out);

  out << "\nconfusion matrix (rows: actual, columns: predicted):\n";
  rows.assign(1, {""});
  for (std::size_t c = 0; c < metrics.GetNumCategories(); ++c) {
    rows[0].push_back(columns.GetCategoryText(c));
  }
  for (std::size_t a = 0; a < metrics.GetNumCategories(); ++a) {
    rows.push_back({columns.GetCategoryText(a)});
    for (std::size_t p = 0; p < metrics.GetNumCategories(); ++p) {
      rows.back().push_back(std::to_string(metrics.GetCount(a, p)));
    }
  }
  WriteTable(rows, out);
}

void AppendKey(const char* key, std::string& out) {
  out += ',';
  AppendJsonString(key, out);
  out += ':';
}

void WriteJson(const Tally& tally, const ClassificationMetrics& metrics,
               const ResultColumns& columns, const std::string& label, std::ostream& out) {
  NumberTextBuffer buffer;
  long records = 0;
  for (const auto& entry : tally.statuses) records += entry.second;
  std::string json = "{\"records\":" + std::to_string(records);
  AppendKey("statuses", json);
  const char* separator = "{";
  for (const auto& [status, count] : tally.statuses) {
    json += separator + ("\"" + std::to_string(status) + "\":") + std::to_string(count);
    separator = ",";
  }
  json += tally.statuses.empty() ? "{}" : "}";
  AppendKey("evaluated", json);
  json += std::to_string(metrics.GetRecords());
  json += ",\"not_evaluated\":{\"status_not_0\":" + std::to_string(tally.notScored) +
          ",\"label_missing\":" + std::to_string(tally.labelMissing) +
          ",\"label_unknown\":" + std::to_string(tally.labelUnknown) + "}";
  AppendKey("blank_lines", json);
  json += std::to_string(tally.blankLines);
  AppendKey("label_column", json);
  AppendJsonString(label, json);
  AppendKey("correct", json);
  json += std::to_string(metrics.GetCorrect());
  AppendKey("accuracy", json);
  AppendJsonNumber(metrics.GetAccuracy(), buffer, json);
  AppendKey("log_loss", json);
  AppendJsonNumber(metrics.GetLogLoss(), buffer, json);
  AppendKey("brier_score", json);
  AppendJsonNumber(metrics.GetBrierScore(), buffer, json);
  AppendKey("roc_auc", json);
  AppendJsonNumber(metrics.GetRocAuc(), buffer, json);
  AppendKey("categories", json);
  for (std::size_t c = 0; c < metrics.GetNumCategories(); ++c) {
    json += c == 0 ? "[{\"category\":" : ",{\"category\":";
    AppendJsonString(columns.GetCategoryText(c), json);
    AppendKey("precision", json);
    AppendJsonNumber(metrics.GetPrecision(c), buffer, json);
    AppendKey("recall", json);
    AppendJsonNumber(metrics.GetRecall(c), buffer, json);
    AppendKey("f1", json);
    AppendJsonNumber(metrics.GetF1(c), buffer, json);
    json += ",\"support\":" + std::to_string(metrics.GetSupport(c)) + "}";
  }
  json += metrics.GetNumCategories() == 0 ? "[]" : "]";
  // Rows: actual; columns: predicted; both in the order of "categories".
  AppendKey("confusion_matrix", json);
  json += '[';
  for (std::size_t a = 0; a < metrics.GetNumCategories(); ++a) {
    json += a == 0 ? "[" : ",[";
    for (std::size_t p = 0; p < metrics.GetNumCategories(); ++p) {
      json += (p == 0 ? "" : ",") + std::to_string(metrics.GetCount(a, p));
    }
    json += ']';
  }
  json += "]}\n";
  out << json;
}

}  // namespace

void RunEvaluate(ScoreModel& model, const EvaluateOptions& options, std::ostream& out) {
  const ScoreOptions& scoreOptions = options.score;
  model.SetPredictionOnly(false);
  FileDescriptor input = FileDescriptor::OpenForReading(scoreOptions.recordsPath);
  RecordSource records(input.Get(), input.GetName(), model, scoreOptions);
  const std::vector<std::string>& header = records.GetColumns();
  const std::string label = LabelColumnName(model, options);
  const int labelColumn = FindColumn(header, label);
  if (labelColumn < 0) {
    throw EngineError(input.GetName() + ": no label column \"" + label + "\" (see --label)");
  }

  RowScorer scorer(model, header, scoreOptions);
  ResultColumns columns(model, false);
  const NumberCellRules labelRules(scoreOptions.missingValues, true);
  ClassificationMetrics metrics(columns.GetNumCategories());
  Tally tally;
  std::vector<double> probabilities(columns.GetNumCategories());
  NumberTextBuffer buffer;
  ProgressMeter progress(input.GetFile(), scoreOptions.progress,
                         scoreOptions.progressIntervalMs);
  while (records.Next()) {
    progress.Add(1);
    MCScore::MCStatus status;
    try {
      status = scorer.Score(records.GetFields());
    } catch (const CellError& e) {
      throw CsvError(input.GetName(), records.GetLine(), e.what());
    }
    const ScoreResult* result = scorer.GetResult();
    if (status.GetCode() != 0 || result == nullptr) {
      ++tally.notScored;
      continue;
    }
    const std::string_view labelCell = records.GetFields()[labelColumn];
    if (labelRules.IsMissingValue(labelCell)) {
      ++tally.labelMissing;
      continue;
    }
    const int actual = FindCategory(columns, labelCell);
    if (actual < 0) {
      if (tally.labelUnknown++ == 0) {
        tally.firstUnknownLabel = labelCell;
        tally.firstUnknownLine = records.GetLine();
      }
      continue;
    }
    const ScoreValue* prediction = result->GetPrediction();
    const int predicted =
        prediction != nullptr ? FindCategory(columns, prediction->GetStringView(buffer)) : -1;
    for (std::size_t c = 0; c < probabilities.size(); ++c) {
      const double* probability = columns.GetProbability(c, result);
      probabilities[c] = probability != nullptr ? *probability : 0.0;
    }
    if (predicted < 0) {
      throw EngineError(input.GetName() + ":" + std::to_string(records.GetLine()) +
                     ": the model predicted no category of the target");
    }
    metrics.Add(static_cast<std::size_t>(actual), static_cast<std::size_t>(predicted),
                probabilities);
  }
  progress.Finish();
  input.FinishReading();
  scorer.AddStatusCounts(tally.statuses);
  tally.blankLines = records.GetBlankLines();
  if (options.json) {
    WriteJson(tally, metrics, columns, label, out);
  } else {
    WriteText(tally, metrics, columns, label, out);
  }
}
