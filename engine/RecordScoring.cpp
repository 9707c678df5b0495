#include "engine/RecordScoring.h"

#include <map>
#include <memory>
#include <span>
#include <vector>

#include "engine/CsvColumnBlock.h"
#include "engine/CsvWriter.h"
#include "engine/EngineError.h"
#include "engine/JsonLinesWriter.h"
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

}  // namespace

bnscore::CsvSummary ScoreRecordBlocks(const CsvModel& model, const ScoreOptions& options,
                                      bnscore::ByteSource& input, const std::string& inputName,
                                      bnscore::ByteSink& output) {
  RecordSource records(input, inputName, model.host, options);
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
  RecordSource records(input, inputName, model.host, kept);
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
