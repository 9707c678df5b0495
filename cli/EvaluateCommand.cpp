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
#include "engine/CsvColumnBlock.h"
#include "engine/FieldLayout.h"
#include "engine/ModelInternals.h"
#include "engine/RecordFiller.h"
#include "host/text/NumberText.h"

namespace bnscore::cli {

using namespace bnscore::internal;

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
               const std::vector<std::string>& categories, const std::string& label, std::ostream& out) {
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
        << categories[1] << ")\n";
  }

  out << "\nby category:\n";
  std::vector<std::vector<std::string>> rows = {{"category", "precision", "recall", "F1", "support"}};
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
  AppendJsonString(key, out);
  out += ':';
}

void WriteJson(const Tally& tally, const ClassificationMetrics& metrics,
               const std::vector<std::string>& categories, const std::string& label, std::ostream& out) {
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
    AppendJsonString(categories[c], json);
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

void RunEvaluate(const bnscore::Model& api, const EvaluateOptions& options, std::ostream& out) {
  ScoreOptions scoreOptions = options.score;
  scoreOptions.keepInput = false;
  scoreOptions.reason = false;
  const ScoreModel& model = bnscore::ModelInternals::GetHostModel(api);
  FileDescriptor input = FileDescriptor::OpenForReading(scoreOptions.recordsPath);
  RecordSource records(input.Get(), input.GetName(), model, scoreOptions);
  const std::vector<std::string>& header = records.GetColumns();
  const std::string label = LabelColumnName(model, options);
  const int labelColumn = FindColumn(header, label);
  if (labelColumn < 0) {
    throw EngineError(input.GetName() + ": no label column \"" + label + "\" (see --label)");
  }

  const FieldLayout layout(model, scoreOptions.load.derivedInRecord, scoreOptions.load.byName);
  CsvColumnBlock block(api, model, layout, header, scoreOptions);
  const std::vector<std::string>& categories = api.GetSchema().categories;
  const NumberCellRules labelRules(scoreOptions.missingValues, true);
  ClassificationMetrics metrics(categories.size());
  Tally tally;
  std::vector<double> probabilities(categories.size());
  // The label cells and lines of the records in the block.
  std::vector<std::string> labels(CsvColumnBlock::kRows);
  std::vector<long> lines(CsvColumnBlock::kRows);
  ProgressMeter progress(input.GetFile(), scoreOptions.progress,
                         scoreOptions.progressIntervalMs);

  auto evaluate = [&](std::size_t row, int status, int predicted, const double* p) {
    if (status != 0) {
      ++tally.notScored;
      return;
    }
    const std::string& labelCell = labels[row];
    if (labelRules.IsMissingValue(labelCell)) {
      ++tally.labelMissing;
      return;
    }
    const int actual = FindCategory(categories, labelCell);
    if (actual < 0) {
      if (tally.labelUnknown++ == 0) {
        tally.firstUnknownLabel = labelCell;
        tally.firstUnknownLine = lines[row];
      }
      return;
    }
    if (predicted < 0 || p == nullptr) {
      throw EngineError(input.GetName() + ":" + std::to_string(lines[row]) +
                        ": the model predicted no category of the target");
    }
    // A category the result gives no probability has 0.
    for (std::size_t c = 0; c < probabilities.size(); ++c) {
      probabilities[c] = p[c] == p[c] ? p[c] : 0.0;
    }
    metrics.Add(static_cast<std::size_t>(actual), static_cast<std::size_t>(predicted),
                probabilities);
  };
  auto flush = [&] {
    const long rows = static_cast<long>(block.Rows());
    block.ScoreAndVisit(evaluate);
    progress.Add(rows);
  };
  auto add = [&](bool asTexts) {
    const std::size_t row = block.Rows();
    labels[row] = records.GetFields()[static_cast<std::size_t>(labelColumn)];
    lines[row] = records.GetLine();
    const std::vector<char>* numbers = records.GetNumberCells();
    const char* numberCells = numbers != nullptr ? numbers->data() : nullptr;
    if (!asTexts) {
      return block.AddCells(records.GetFields(), numberCells, records.GetLine(), input.GetName());
    }
    block.AddCellsAsTexts(records.GetFields(), numberCells, records.GetLine(), input.GetName());
    return true;
  };
  try {
    while (records.Next()) {
      if (add(false)) {
        if (block.Full()) flush();
        continue;
      }
      flush();
      add(true);
      flush();
    }
  } catch (const CsvError&) {
    flush();  // the records before the fault, whose own fault comes first
    throw;
  }
  flush();
  progress.Finish();
  input.FinishReading();
  block.AddStatusCounts(tally.statuses);
  tally.blankLines = records.GetBlankLines();
  if (options.json) {
    WriteJson(tally, metrics, categories, label, out);
  } else {
    WriteText(tally, metrics, categories, label, out);
  }
}

}  // namespace bnscore::cli
