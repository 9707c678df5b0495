#include "engine/CsvScoring.h"

#include <map>
#include <vector>

#include "engine/CliError.h"
#include "engine/CsvBlockReader.h"
#include "engine/CsvReader.h"
#include "engine/CsvWriter.h"
#include "engine/ParallelScoring.h"
#include "engine/RowScorer.h"

namespace {

const char kOutputName[] = "the output";

void WriteHeader(const std::vector<std::string>& header, const ScoreModel& model,
                 const ScoreOptions& options, CsvWriter& writer) {
  if (options.keepInput) {
    for (const std::string& name : header) writer.WriteField(name);
  }
  ResultColumns(model, options.predictionOnly).WriteHeader(writer);
  writer.EndRow();
  writer.Flush();
}

bnscore::CsvSummary Summarise(const std::map<long, long>& statusCounts) {
  bnscore::CsvSummary summary;
  for (const auto& [status, count] : statusCounts) {
    summary.records += count;
    summary.statusCounts.emplace_back(static_cast<int>(status), count);
  }
  return summary;
}

CliError EmptyInput(const std::string& inputName) {
  return CliError(inputName + ": no header row: the input is empty");
}

// One thread: read, score and write each row in turn.
bnscore::CsvSummary ScoreSequentially(ScoreModel& model, const ScoreOptions& options,
                                      bnscore::ByteSource& input, const std::string& inputName,
                                      bnscore::ByteSink& output) {
  CsvReader reader(input, inputName);
  if (!reader.ReadRow()) throw EmptyInput(inputName);
  const std::vector<std::string> header(reader.GetFields().begin(), reader.GetFields().end());

  RowScorer scorer(model, header, options);
  CsvWriter writer(output, kOutputName);
  WriteHeader(header, model, options, writer);
  while (reader.ReadRow()) {
    CheckFieldCount(reader, header.size());
    scorer.ScoreRow(reader.GetFields(), writer);
  }
  writer.Flush();
  std::map<long, long> statusCounts;
  scorer.AddStatusCounts(statusCounts);
  return Summarise(statusCounts);
}

// Several threads: the header and the first record here, then blocks of
// rows on the workers.
bnscore::CsvSummary ScoreInParallel(ScoreModel& model, const ScoreOptions& options,
                                    bnscore::ByteSource& input, const std::string& inputName,
                                    bnscore::ByteSink& output) {
  CsvBlockReader blocks(input, inputName, options.blockBytes);
  CsvBlock block;
  CsvReader reader(inputName);
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
  if (!readRow()) throw EmptyInput(inputName);
  const std::vector<std::string> header(reader.GetFields().begin(), reader.GetFields().end());

  RowScorer scorer(model, header, options);
  CsvWriter writer(output, kOutputName);
  WriteHeader(header, model, options, writer);
  std::map<long, long> statusCounts;
  if (readRow()) {
    CheckFieldCount(reader, header.size());
    scorer.ScoreRow(reader.GetFields(), writer);
    ParallelScoring parallel(model, header, options, options.threads, inputName);
    parallel.Run(block, reader.GetUnreadOffset(), reader.GetNextLine(), blocks, writer);
    parallel.AddStatusCounts(statusCounts);
  }
  writer.Flush();
  scorer.AddStatusCounts(statusCounts);
  return Summarise(statusCounts);
}

}  // namespace

bnscore::CsvSummary ScoreCsvRecords(ScoreModel& model, const ScoreOptions& options,
                                    bnscore::ByteSource& input, const std::string& inputName,
                                    bnscore::ByteSink& output) {
  if (options.threads <= 1) return ScoreSequentially(model, options, input, inputName, output);
  return ScoreInParallel(model, options, input, inputName, output);
}
