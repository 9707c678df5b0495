#include "engine/CsvScoring.h"

#include <functional>
#include <map>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "engine/CsvBlockReader.h"
#include "engine/CsvReader.h"
#include "engine/CsvWriter.h"
#include "engine/EngineError.h"
#include "engine/ExplainColumns.h"
#include "engine/FieldLayout.h"
#include "engine/ParallelScoring.h"
#include "engine/CsvColumnBlock.h"
#include "engine/TargetCategories.h"

namespace bnscore::internal {

namespace {

const char kOutputName[] = "the output";

// "a, b, c", at most `limit` names and then how many more.
std::string JoinNames(const std::vector<std::string>& names, std::size_t limit) {
  std::string text;
  for (std::size_t i = 0; i < names.size() && i < limit; ++i) {
    if (i > 0) text += ", ";
    text += names[i];
  }
  if (names.size() > limit) text += ", ... (" + std::to_string(names.size() - limit) + " more)";
  return text;
}

}  // namespace

// Every record would get 90029; and a field named by two columns would be
// read from the first only, silently.
void CheckPredictorColumns(const std::vector<std::string>& header, const FieldLayout& layout,
                           const ScoreOptions& options, const std::string& inputName) {
  std::vector<std::size_t> firstColumn(static_cast<std::size_t>(layout.Size()), header.size());
  for (std::size_t column = 0; column < header.size(); ++column) {
    const int field = layout.Find(header[column]);
    if (field < 0) continue;
    std::size_t& first = firstColumn[static_cast<std::size_t>(field)];
    if (first == header.size()) {
      first = column;
      continue;
    }
    throw EngineError(inputName + ": the header names the field " + header[column] +
                      " twice (columns " + std::to_string(first + 1) + " and " +
                      std::to_string(column + 1) + "); drop or rename one");
  }
  if (options.allowMissingColumns) return;
  const std::vector<std::string> missing = layout.GetMissingPredictors(layout.MapColumns(header));
  if (missing.empty()) return;
  std::string message = inputName + ": missing columns: " + JoinNames(missing, missing.size()) +
                        " (the header has: " + JoinNames(header, 20) + ")";
  if (header.size() == 1) {
    for (char other : {',', ';', '\t', '|'}) {
      if (other != options.delimiter && header[0].find(other) != std::string::npos) {
        message += "; is the delimiter '" +
                   std::string(other == '\t' ? "\\t" : std::string(1, other)) +
                   "'? see --delimiter";
        break;
      }
    }
  }
  throw EngineError(message);
}

std::vector<std::string> OutputNames(const std::vector<std::string>& header,
                                     const ScoreModel& model, const ScoreOptions& options,
                                     const std::string& inputName) {
  std::vector<std::string> names = {"status", "prediction"};
  if (!options.load.predictionOnly) {
    names.push_back("confidence");
    const TargetCategories categories(model);
    for (const std::string& label : categories.GetLabels()) {
      names.push_back("probability(" + label + ")");
    }
  }
  if (options.reason) names.push_back("reason");
  for (std::string& name : ExplainColumns::Names(options.explain)) names.push_back(std::move(name));
  if (!options.keepInput) return names;
  const std::unordered_set<std::string_view> resultNames(names.begin(), names.end());
  for (const std::string& column : header) {
    if (resultNames.count(column) != 0) {
      throw EngineError(inputName + ": --keep-input: the input has a column \"" + column +
                        "\", which is a result column too; rename it in the input");
    }
  }
  names.insert(names.begin(), header.begin(), header.end());
  return names;
}

bnscore::CsvSummary Summarise(const std::map<long, long>& statusCounts, long blankLines) {
  bnscore::CsvSummary summary;
  summary.blankLines = blankLines;
  for (const auto& [status, count] : statusCounts) {
    summary.records += count;
    summary.statusCounts.emplace_back(static_cast<int>(status), count);
  }
  return summary;
}

std::vector<std::string> ReadHeader(CsvReader& reader, const ScoreOptions& options) {
  return ReadHeader(reader, options, [&reader] { return reader.ReadRow(); });
}

std::vector<std::string> ReadHeader(const CsvReader& reader, const ScoreOptions& options,
                                    const std::function<bool()>& readRow) {
  if (!options.columns.empty()) return options.columns;
  if (!readRow()) {
    throw EngineError(reader.GetSourceName() + ": no header row: the input is empty");
  }
  return std::vector<std::string>(reader.GetFields().begin(), reader.GetFields().end());
}

namespace {

// Checks the input's header row, then writes the output's (unless asked
// not to), out at once.
void WriteHeader(const std::vector<std::string>& header, const CsvModel& model,
                 const ScoreOptions& options, const std::string& inputName, CsvWriter& writer) {
  CheckPredictorColumns(header, model.layout, options, inputName);
  const std::vector<std::string> names = OutputNames(header, model.host, options, inputName);
  if (!options.outputHeader) return;
  for (const std::string& name : names) writer.WriteField(name);
  writer.EndRow();
  writer.Flush();
}

void CountWritten(const ScoreOptions& options, long records) {
  if (options.recordsWritten) options.recordsWritten(records);
}

void SetUpReader(CsvReader& reader, const ScoreOptions& options) {
  reader.SetDelimiter(options.delimiter);
  reader.SetRejectBlankLines(options.rejectBlankLines);
}

// Scores and writes the rows `block` holds, and counts them as written.
void Flush(CsvColumnBlock& block, const ScoreOptions& options, CsvWriter& writer) {
  const long rows = static_cast<long>(block.Rows());
  if (rows == 0) return;
  block.ScoreAndWrite(writer);
  CountWritten(options, rows);
}

// One thread: blocks of rows read, scored and written one after the other.
bnscore::CsvSummary ScoreSequentially(const CsvModel& model, const ScoreOptions& options,
                                      bnscore::ByteSource& input, const std::string& inputName,
                                      bnscore::ByteSink& output) {
  CsvReader reader(input, inputName);
  SetUpReader(reader, options);
  const std::vector<std::string> header = ReadHeader(reader, options);

  CsvWriter writer(output, kOutputName);
  writer.SetDelimiter(options.delimiter);
  WriteHeader(header, model, options, inputName, writer);
  CsvColumnBlock block(model.api, model.host, model.layout, header, options);
  try {
    while (reader.ReadRow()) {
      if (block.AddRow(reader)) {
        if (block.Full()) Flush(block, options, writer);
        continue;
      }
      Flush(block, options, writer);
      block.AddRowAsTexts(reader);
      Flush(block, options, writer);
    }
  } catch (const CsvError&) {
    Flush(block, options, writer);  // the rows before the fault
    throw;
  }
  Flush(block, options, writer);
  writer.Flush();
  std::map<long, long> statusCounts;
  block.AddStatusCounts(statusCounts);
  return Summarise(statusCounts, reader.GetBlankLines());
}

// Several threads: the header and the first record here, then blocks of
// rows on the workers.
bnscore::CsvSummary ScoreInParallel(const CsvModel& model, const ScoreOptions& options,
                                    bnscore::ByteSource& input, const std::string& inputName,
                                    bnscore::ByteSink& output) {
  CsvBlockReader blocks(input, inputName, options.blockBytes);
  blocks.SetDelimiter(options.delimiter);
  CsvBlock block;
  CsvReader reader(inputName);
  SetUpReader(reader, options);
  bool atInputStart = true;
  // The next row, from the next block when this one has no more.
  auto readRow = [&]() {
    while (!reader.ReadRow()) {
      if (!blocks.ReadBlock(block)) return false;
      reader.ResetToBlock(block.bytes.data(), block.size, reader.GetNextLine(), atInputStart);
      atInputStart = false;
    }
    return true;
  };
  const std::vector<std::string> header = ReadHeader(reader, options, readRow);

  CsvWriter writer(output, kOutputName);
  writer.SetDelimiter(options.delimiter);
  WriteHeader(header, model, options, inputName, writer);
  std::map<long, long> statusCounts;
  long blankLines = 0;
  CsvColumnBlock first(model.api, model.host, model.layout, header, options);
  if (readRow()) {
    try {
      if (!first.AddRow(reader)) first.AddRowAsTexts(reader);
    } catch (const CsvError&) {
      writer.Flush();
      throw;
    }
    Flush(first, options, writer);
    ParallelScoring parallel(model.api, model.host, model.layout, model.workers, header, options,
                             options.threads, inputName);
    parallel.SetBlockWritten([&options](long records) { CountWritten(options, records); });
    parallel.Run(block, reader.GetUnreadOffset(), reader.GetNextLine(), blocks, writer);
    parallel.AddStatusCounts(statusCounts);
    blankLines = parallel.GetBlankLines();
  }
  writer.Flush();
  first.AddStatusCounts(statusCounts);
  return Summarise(statusCounts, blankLines + reader.GetBlankLines());
}

}  // namespace

bnscore::CsvSummary ScoreCsvRecords(const CsvModel& model, const ScoreOptions& options,
                                    bnscore::ByteSource& input, const std::string& inputName,
                                    bnscore::ByteSink& output) {
  if (options.threads <= 1) return ScoreSequentially(model, options, input, inputName, output);
  return ScoreInParallel(model, options, input, inputName, output);
}

}  // namespace bnscore::internal
