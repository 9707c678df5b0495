#include "engine/RecordScoring.h"

#include <map>
#include <memory>
#include <span>
#include <vector>

#include "engine/CsvBlockReader.h"
#include "engine/CsvColumnBlock.h"
#include "engine/CsvReader.h"
#include "engine/CsvWriter.h"
#include "engine/EngineError.h"
#include "engine/FieldLayout.h"
#include "engine/JsonLinesReader.h"
#include "engine/JsonLinesWriter.h"
#include "engine/ParallelScoring.h"
#include "engine/RecordSource.h"

namespace bnscore::internal {

namespace {

const char kOutputName[] = "the output";

// Reads every record of `records` into `block`, calling `flush` to score
// the records held whenever the block is full, before a record that only
// AddCellsAsTexts takes and after it, at the end, and at a faulty record
// (whose fault then goes through). `added` is told the block row each
// record went to, with its line.
template <typename Flush, typename Added>
void ReadBlocks(RecordSource& records, CsvColumnBlock& block, const std::string& inputName,
                const Flush& flush, const Added& added) {
  try {
    while (records.Next()) {
      const std::vector<char>* numbers = records.GetNumberCells();
      const char* numberCells = numbers != nullptr ? numbers->data() : nullptr;
      const std::size_t row = block.Rows();
      if (block.AddCells(records.GetFields(), numberCells, records.GetLine(), inputName)) {
        added(row, records);
        if (block.Full()) flush();
        continue;
      }
      flush();
      block.AddCellsAsTexts(records.GetFields(), numberCells, records.GetLine(), inputName);
      added(0, records);
      flush();
    }
  } catch (const CsvError&) {
    flush();  // the records before the fault
    throw;
  }
  flush();
}

void CountWritten(const ScoreOptions& options, long records) {
  if (records > 0 && options.recordsWritten) options.recordsWritten(records);
}

// Several threads: the columns and the first record here, read from the
// first blocks as RecordSource reads them, then the other records in
// blocks on ParallelScoring.
bnscore::CsvSummary ScoreInParallel(const CsvModel& model, const ScoreOptions& options,
                                    bnscore::ByteSource& input, const std::string& inputName,
                                    bnscore::ByteSink& output) {
  const bool jsonInput = options.inputFormat == bnscore::RecordFormat::kJsonLines;
  CsvBlockReader blocks(input, inputName, options.blockBytes);
  blocks.SetDelimiter(options.delimiter);
  blocks.SetJsonLines(jsonInput);
  CsvBlock block;
  CsvReader csv(inputName);
  csv.SetDelimiter(options.delimiter);
  csv.SetRejectBlankLines(options.rejectBlankLines);
  JsonLinesReader json(inputName);
  json.SetRejectBlankLines(options.rejectBlankLines);
  if (jsonInput && !options.columns.empty()) json.SetColumns(options.columns);
  bool atInputStart = true;
  // The next record, from the next block when this one has no more.
  auto readRow = [&]() {
    while (atInputStart || !(jsonInput ? json.ReadRow() : csv.ReadRow())) {
      if (!blocks.ReadBlock(block)) return false;
      if (jsonInput) {
        json.ResetToBlock(block.bytes.data(), block.size, json.GetNextLine(), atInputStart);
      } else {
        csv.ResetToBlock(block.bytes.data(), block.size, csv.GetNextLine(), atInputStart);
      }
      atInputStart = false;
    }
    return true;
  };
  std::vector<std::string> columns;
  bool more = false;  // a first record was read
  if (jsonInput) {
    more = readRow();
    columns = more || !options.columns.empty()
                  ? json.GetColumns()
                  : FieldLayout(model.host, false, false).GetPredictorNames();
    CheckPredictorColumns(columns, model.layout, options,
                          inputName + ":" + std::to_string(json.GetLine()));
  } else {
    columns = ReadHeader(csv, options, readRow);
    CheckPredictorColumns(columns, model.layout, options, inputName);
  }
  const std::vector<std::string> names = OutputNames(columns, model.host, options, inputName);
  CsvColumnBlock first(model.api, model.host, model.layout, columns, options);
  CsvWriter writer(output, kOutputName);
  writer.SetDelimiter(options.delimiter);
  std::unique_ptr<JsonLinesWriter> jsonOutput;
  if (options.outputFormat == bnscore::RecordFormat::kJsonLines) {
    jsonOutput =
        std::make_unique<JsonLinesWriter>(model.api.GetSchema().categories, columns, options);
    first.SetJsonLines(jsonOutput.get());
  } else if (options.outputHeader) {
    for (const std::string& name : names) writer.WriteField(name);
    writer.EndRow();
  }
  if (!jsonInput) more = readRow();
  std::map<long, long> statusCounts;
  long blankLines = 0;
  if (more) {
    if (jsonInput) {
      const char* numbers = json.GetNumberCells().data();
      if (!first.AddCells(json.GetFields(), numbers, json.GetLine(), inputName)) {
        first.AddCellsAsTexts(json.GetFields(), numbers, json.GetLine(), inputName);
      }
    } else if (!first.AddRow(csv)) {
      first.AddRowAsTexts(csv);
    }
    first.ScoreAndWrite(writer);
    CountWritten(options, 1);
    ParallelScoring parallel(model.api, model.host, model.layout, model.workers, columns, options,
                             options.threads, inputName);
    parallel.SetBlockWritten([&options](long records) { CountWritten(options, records); });
    parallel.Run(block, jsonInput ? json.GetUnreadOffset() : csv.GetUnreadOffset(),
                 jsonInput ? json.GetNextLine() : csv.GetNextLine(), blocks, writer);
    parallel.AddStatusCounts(statusCounts);
    blankLines = parallel.GetBlankLines();
  }
  writer.Flush();
  first.AddStatusCounts(statusCounts);
  return Summarise(statusCounts,
                   blankLines + (jsonInput ? json.GetBlankLines() : csv.GetBlankLines()));
}

}  // namespace

bnscore::CsvSummary ScoreRecordBlocks(const CsvModel& model, const ScoreOptions& options,
                                      bnscore::ByteSource& input, const std::string& inputName,
                                      bnscore::ByteSink& output) {
  if (options.threads > 1) return ScoreInParallel(model, options, input, inputName, output);
  RecordSource records(input, inputName, model.host, model.layout, options);
  const std::vector<std::string> names =
      OutputNames(records.GetColumns(), model.host, options, inputName);
  CsvColumnBlock block(model.api, model.host, model.layout, records.GetColumns(), options);
  CsvWriter writer(output, kOutputName);
  writer.SetDelimiter(options.delimiter);
  std::unique_ptr<JsonLinesWriter> json;
  if (options.outputFormat == bnscore::RecordFormat::kJsonLines) {
    json = std::make_unique<JsonLinesWriter>(model.api.GetSchema().categories, records.GetColumns(),
                                             options);
    block.SetJsonLines(json.get());
  } else if (options.outputHeader) {
    for (const std::string& name : names) writer.WriteField(name);
    writer.EndRow();
  }
  ReadBlocks(
      records, block, inputName,
      [&] {
        const long rows = static_cast<long>(block.Rows());
        block.ScoreAndWrite(writer);
        CountWritten(options, rows);
      },
      [](std::size_t, const RecordSource&) {});
  writer.Flush();
  std::map<long, long> statusCounts;
  block.AddStatusCounts(statusCounts);
  return Summarise(statusCounts, records.GetBlankLines());
}

bnscore::CsvSummary ScoreRecordsInto(const CsvModel& model, const ScoreOptions& options,
                                     bnscore::ByteSource& input, const std::string& inputName,
                                     bnscore::OutcomeSink& sink) {
  // The block keeps every row's cells, which the sink is given.
  ScoreOptions kept = options;
  kept.keepInput = true;
  kept.explain = 0;
  RecordSource records(input, inputName, model.host, model.layout, kept);
  sink.Begin(records.GetColumns());
  CsvColumnBlock block(model.api, model.host, model.layout, records.GetColumns(), kept);
  const std::size_t categories = model.api.GetSchema().categories.size();
  std::vector<long> lines(CsvColumnBlock::kRows);
  bnscore::ScoredRecord record;
  const auto visit = [&](std::size_t row, const CsvColumnBlock::RowOutcome& outcome) {
    record.line = lines[row];
    record.cells = outcome.cells;
    record.outcome = bnscore::Outcome{outcome.status, outcome.prediction, outcome.confidence};
    record.probabilities = outcome.probabilities != nullptr
                               ? std::span<const double>(outcome.probabilities, categories)
                               : std::span<const double>();
    record.reason = outcome.reason;
    sink.Take(record);
  };
  ReadBlocks(
      records, block, inputName,
      [&] {
        const long rows = static_cast<long>(block.Rows());
        block.ScoreAndVisit(visit);
        CountWritten(options, rows);
      },
      [&lines](std::size_t row, const RecordSource& source) { lines[row] = source.GetLine(); });
  std::map<long, long> statusCounts;
  block.AddStatusCounts(statusCounts);
  return Summarise(statusCounts, records.GetBlankLines());
}

}  // namespace bnscore::internal
