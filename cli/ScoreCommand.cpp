#include "cli/ScoreCommand.h"

#include <sys/stat.h>

#include <map>
#include <memory>
#include <vector>

#include "engine/CliError.h"
#include "engine/CsvBlockReader.h"
#include "engine/CsvReader.h"
#include "engine/CsvWriter.h"
#include "cli/FileDescriptor.h"
#include "engine/ParallelScoring.h"
#include "engine/RowScorer.h"

namespace {

void WriteSummary(const std::map<long, long>& statusCounts, std::ostream& out) {
  long records = 0;
  for (const auto& entry : statusCounts) records += entry.second;
  out << "bnscore: scored " << records << (records == 1 ? " record" : " records");
  const char* separator = ": ";
  for (const auto& [status, count] : statusCounts) {
    out << separator << count << " with status " << status;
    separator = ", ";
  }
  out << '\n';
}

// Refuses an output file that is the input file: opening it for writing
// would empty the input before it is read.
void CheckOutputIsNotInput(const FileDescriptor& input, const std::string& outputPath) {
  struct stat in;
  struct stat out;
  if (outputPath.empty() || outputPath == "-") return;
  if (::fstat(input.Get(), &in) != 0 || ::stat(outputPath.c_str(), &out) != 0) return;
  if (in.st_dev == out.st_dev && in.st_ino == out.st_ino) {
    throw CliError("the output " + outputPath + " is the input " + input.GetName());
  }
}

FileDescriptor OpenOutput(const FileDescriptor& input, const ScoreOptions& options) {
  CheckOutputIsNotInput(input, options.outputPath);
  return FileDescriptor::OpenForWriting(options.outputPath);
}

void WriteHeader(const std::vector<std::string>& header, const ScoreModel& model,
                 const ScoreOptions& options, CsvWriter& writer) {
  if (options.keepInput) {
    for (const std::string& name : header) writer.WriteField(name);
  }
  ResultColumns(model, options.predictionOnly).WriteHeader(writer);
  writer.EndRow();
}

// The output side of scoring one input, the same for both ways of scoring:
// this thread's row scorer, and the output file with its header row
// written. Finish flushes the output and writes the summary of the
// statuses counted, this scorer's added to `statusCounts`.
struct ScoredOutput {
  ScoredOutput(ScoreModel& model, const std::vector<std::string>& header,
               const FileDescriptor& input, const ScoreOptions& options)
      : scorer(model, header, options),
        output(OpenOutput(input, options)),
        writer(output.Get(), output.GetName()) {
    WriteHeader(header, model, options, writer);
  }

  void Finish(std::map<long, long>& statusCounts, std::ostream& summary) {
    writer.Flush();
    scorer.AddStatusCounts(statusCounts);
    WriteSummary(statusCounts, summary);
  }

  RowScorer scorer;
  FileDescriptor output;
  CsvWriter writer;
};

// One thread: read, score and write each row in turn.
void ScoreSequentially(ScoreModel& model, const ScoreOptions& options, std::ostream& summary) {
  FileDescriptor input = FileDescriptor::OpenForReading(options.recordsPath);
  CsvReader reader(input.Get(), input.GetName());
  if (!reader.ReadRow()) throw CliError(input.GetName() + ": no header row: the input is empty");
  const std::vector<std::string> header(reader.GetFields().begin(), reader.GetFields().end());

  ScoredOutput out(model, header, input, options);
  while (reader.ReadRow()) {
    CheckFieldCount(reader, header.size());
    out.scorer.ScoreRow(reader.GetFields(), out.writer);
  }
  std::map<long, long> statusCounts;
  out.Finish(statusCounts, summary);
}

// Several threads: the header and the first record here, then blocks of
// rows on the workers.
void ScoreInParallel(ScoreModel& model, const ScoreOptions& options, std::ostream& summary) {
  FileDescriptor input = FileDescriptor::OpenForReading(options.recordsPath);
  CsvBlockReader blocks(input.Get(), input.GetName(), options.blockBytes);
  CsvBlock block;
  CsvReader reader(input.GetName());
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
  if (!readRow()) throw CliError(input.GetName() + ": no header row: the input is empty");
  const std::vector<std::string> header(reader.GetFields().begin(), reader.GetFields().end());

  ScoredOutput out(model, header, input, options);
  std::map<long, long> statusCounts;
  if (readRow()) {
    // The first record alone: the model's one-time setup runs here.
    CheckFieldCount(reader, header.size());
    out.scorer.ScoreRow(reader.GetFields(), out.writer);
    ParallelScoring parallel(model, header, options, options.threads, input.GetName());
    parallel.Run(block, reader.GetUnreadOffset(), reader.GetNextLine(), blocks, out.writer);
    parallel.AddStatusCounts(statusCounts);
  }
  out.Finish(statusCounts, summary);
}

}  // namespace

void RunScore(ScoreModel& model, const ScoreOptions& options, std::ostream& summary) {
  model.SetPredictionOnly(options.predictionOnly);
  if (options.threads <= 1) {
    ScoreSequentially(model, options, summary);
  } else {
    ScoreInParallel(model, options, summary);
  }
}
