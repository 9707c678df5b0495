#include "cli/EvaluateCommand.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <string_view>
#include <vector>

#include "cli/ClassificationMetrics.h"
#include "cli/FileDescriptor.h"
#include "cli/ProgressMeter.h"
#include "bnscore/FdStreams.h"
#include "bnscore/JsonText.h"
#include "bnscore/NumberText.h"

namespace bnscore::cli {

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
int FindCategory(const std::vector<std::string>& categories, std::string_view text) {
  for (std::size_t c = 0; c < categories.size(); ++c) {
    if (categories[c] == text) return static_cast<int>(c);
  }
  return -1;
}

int FindColumn(const std::vector<std::string>& header, const std::string& name) {
  const auto found = std::find(header.begin(), header.end(), name);
  return found == header.end() ? -1 : static_cast<int>(found - header.begin());
}

std::string LabelColumnName(const bnscore::Model& model, const EvaluateOptions& options) {
  if (!options.label.empty()) return options.label;
  if (model.GetSchema().target.empty()) {
    throw bnscore::Error("the model has no target field: give --label");
  }
  return model.GetSchema().target;
}

std::string FormatFigure(double value) {
  if (std::isnan(value)) return "-";
  return bnscore::FormatNumber(value);
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
               const std::vector<std::string>& categories, const std::string& label,
               std::ostream& out) {
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
    out << "ROC AUC: " << FormatFigure(metrics.GetRocAuc())
        << " (positive category: " << categories[1] << ")\n";
  }

  out << "\nby category:\n";
  std::vector<std::vector<std::string>> rows = {
      {"category", "precision", "recall", "F1", "support"}};
  for (std::size_t c = 0; c < metrics.GetNumCategories(); ++c) {
    rows.push_back({categories[c], FormatFigure(metrics.GetPrecision(c)),
                    FormatFigure(metrics.GetRecall(c)), FormatFigure(metrics.GetF1(c)),
                    std::to_string(metrics.GetSupport(c))});
  }
  WriteTable(rows, out);

  out << "\nconfusion matrix (rows: actual, columns: predicted):\n";
  rows.assign(1, {""});
  for (std::size_t c = 0; c < metrics.GetNumCategories(); ++c) {
    rows[0].push_back(categories[c]);
  }
  for (std::size_t a = 0; a < metrics.GetNumCategories(); ++a) {
    rows.push_back({categories[a]});
    for (std::size_t p = 0; p < metrics.GetNumCategories(); ++p) {
      rows.back().push_back(std::to_string(metrics.GetCount(a, p)));
    }
  }
  WriteTable(rows, out);
}

void AppendKey(const char* key, std::string& out) {
  out += ',';
  AppendJsonString(out, key);
  out += ':';
}

void WriteJson(const Tally& tally, const ClassificationMetrics& metrics,
               const std::vector<std::string>& categories, const std::string& label,
               std::ostream& out) {
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
  AppendJsonString(json, label);
  AppendKey("correct", json);
  json += std::to_string(metrics.GetCorrect());
  AppendKey("accuracy", json);
  AppendJsonNumber(json, metrics.GetAccuracy());
  AppendKey("log_loss", json);
  AppendJsonNumber(json, metrics.GetLogLoss());
  AppendKey("brier_score", json);
  AppendJsonNumber(json, metrics.GetBrierScore());
  AppendKey("roc_auc", json);
  AppendJsonNumber(json, metrics.GetRocAuc());
  AppendKey("categories", json);
  for (std::size_t c = 0; c < metrics.GetNumCategories(); ++c) {
    json += c == 0 ? "[{\"category\":" : ",{\"category\":";
    AppendJsonString(json, categories[c]);
    AppendKey("precision", json);
    AppendJsonNumber(json, metrics.GetPrecision(c));
    AppendKey("recall", json);
    AppendJsonNumber(json, metrics.GetRecall(c));
    AppendKey("f1", json);
    AppendJsonNumber(json, metrics.GetF1(c));
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

// Compares each record's prediction with its label, as RunEvaluate says.
class Evaluation : public bnscore::OutcomeSink {
 public:
  Evaluation(const std::vector<std::string>& categories, std::string label,
             const std::vector<std::string>& missingValues, std::string inputName)
      : categories_(categories),
        label_(std::move(label)),
        missingValues_(missingValues),
        inputName_(std::move(inputName)),
        metrics_(categories.size()),
        probabilities_(categories.size()) {}

  void Begin(const std::vector<std::string>& columns) override {
    labelColumn_ = FindColumn(columns, label_);
    if (labelColumn_ < 0) {
      throw bnscore::Error(inputName_ + ": no label column \"" + label_ + "\" (see --label)");
    }
  }

  void Take(const bnscore::ScoredRecord& record) override {
    if (record.outcome.status != 0) {
      ++tally_.notScored;
      return;
    }
    const std::string_view labelCell = record.cells[static_cast<std::size_t>(labelColumn_)];
    if (labelCell.empty() || std::find(missingValues_.begin(), missingValues_.end(), labelCell) !=
                                 missingValues_.end()) {
      ++tally_.labelMissing;
      return;
    }
    const int actual = FindCategory(categories_, labelCell);
    if (actual < 0) {
      if (tally_.labelUnknown++ == 0) {
        tally_.firstUnknownLabel = labelCell;
        tally_.firstUnknownLine = record.line;
      }
      return;
    }
    const int predicted = record.outcome.prediction;
    if (predicted < 0 || record.probabilities.empty()) {
      throw bnscore::Error(inputName_ + ":" + std::to_string(record.line) +
                           ": the model predicted no category of the target");
    }
    // A category the result gives no probability has 0.
    for (std::size_t c = 0; c < probabilities_.size(); ++c) {
      const double p = record.probabilities[c];
      probabilities_[c] = p == p ? p : 0.0;
    }
    metrics_.Add(static_cast<std::size_t>(actual), static_cast<std::size_t>(predicted),
                 probabilities_);
  }

  Tally& GetTally() { return tally_; }
  const ClassificationMetrics& GetMetrics() const { return metrics_; }

 private:
  const std::vector<std::string>& categories_;
  std::string label_;
  std::vector<std::string> missingValues_;  // besides the empty cell
  std::string inputName_;
  int labelColumn_ = -1;
  ClassificationMetrics metrics_;
  Tally tally_;
  std::vector<double> probabilities_;
};

}  // namespace

void RunEvaluate(const bnscore::Model& model, const EvaluateOptions& options, std::ostream& out) {
  bnscore::CsvOptions csv = options.score;
  csv.keepInput = false;
  csv.reason = false;
  FileDescriptor input = FileDescriptor::OpenForReading(options.score.recordsPath);
  const std::vector<std::string>& categories = model.GetSchema().categories;
  const std::string label = LabelColumnName(model, options);
  Evaluation evaluation(categories, label, csv.missingValues, input.GetName());
  ProgressMeter progress(input.GetFile(), options.score.progress, options.score.progressIntervalMs);
  csv.recordsWritten = [&progress](long records) { progress.Add(records); };
  FdSource source(input.Get(), input.GetName());
  const bnscore::CsvSummary summary = model.ScoreEach(source, input.GetName(), evaluation, csv);
  progress.Finish();
  input.FinishReading();
  Tally& tally = evaluation.GetTally();
  for (const auto& [status, count] : summary.statusCounts) tally.statuses[status] = count;
  tally.blankLines = summary.blankLines;
  if (options.json) {
    WriteJson(tally, evaluation.GetMetrics(), categories, label, out);
  } else {
    WriteText(tally, evaluation.GetMetrics(), categories, label, out);
  }
}

}  // namespace bnscore::cli
