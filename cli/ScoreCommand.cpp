#include "cli/ScoreCommand.h"

#include <sys/stat.h>

#include <map>
#include <memory>
#include <vector>

#include "engine/CliError.h"
#include "engine/CsvBlockReader.h"
#include "engine/CsvReader.h"
#include "engine/CsvWriter.h"
#include "engine/JsonLinesWriter.h"
#include "cli/FileDescriptor.h"
#include "cli/ProgressMeter.h"
#include "cli/RecordSource.h"
#include "engine/ParallelScoring.h"
#include "engine/RecordFiller.h"
#include "engine/ResultColumns.h"
#include "engine/RowScorer.h"

namespace {

void WriteSummary(const std::map<long, long>& statusCounts, long blankLines, std::ostream& out) {
  long records = 0;
  for (const auto& entry : statusCounts) records += entry.second;
  out << "bnscore: scored " << records << (records == 1 ? " record" : " records");
  const char* separator = ": ";
  for (const auto& [status, count] : statusCounts) {
    out << separator << count << " with status " << status;
    separator = ", ";
  }
  if (blankLines > 0) {
    out << "; skipped " << blankLines << (blankLines == 1 ? " blank line" : " blank lines");
  }
  out << '\n';
}

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

std::vector<std::string> ReadHeader(CsvReader& reader, const ScoreOptions& options) {
  if (!options.columns.empty()) return options.columns;
  if (!reader.ReadRow()) {
    throw CliError(reader.GetSourceName() + ": no header row: the input is empty");
  }
  return std::vector<std::string>(reader.GetFields().begin(), reader.GetFields().end());
}

// Every record would get 90029.
void CheckPredictorColumns(const std::vector<std::string>& header, const ScoreModel& model,
                           const ScoreOptions& options, const std::string& inputName) {
  if (options.allowMissingColumns) return;
  const std::vector<std::string> missing = MissingPredictorColumns(header, model);
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
  throw CliError(message);
}

namespace {

// The names of the output's header row, the input's first with --keep-input;
// refuses an input column whose name the result columns repeat.
std::vector<std::string> OutputNames(const std::vector<std::string>& header,
                                     const ScoreModel& model, const ScoreOptions& options,
                                     const std::string& inputName) {
  std::vector<std::string> names = ResultColumns(model, options.predictionOnly).GetNames();
  if (options.reason) names.push_back("reason");
  if (!options.keepInput) return names;
  for (const std::string& column : header) {
    for (const std::string& name : names) {
      if (column == name) {
        throw CliError(inputName + ": --keep-input: the input has a column \"" + column +
                       "\", which is a result column too; rename it in the input");
      }
    }
  }
  names.insert(names.begin(), header.begin(), header.end());
  return names;
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

// The output side of scoring one input, the same for both ways of scoring:
// this thread's row scorer, and the output file with its header row
// written (the output is opened only once the header names pass). Finish
// flushes the output and writes the summary of the statuses counted, this
// scorer's added to `statusCounts`, and of the blank lines skipped.
struct ScoredOutput {
  ScoredOutput(ScoreModel& model, const std::vector<std::string>& header,
               const FileDescriptor& input, const ScoreOptions& options)
      : names(OutputNames(header, model, options, input.GetName())),
        scorer(model, header, options),
        output(OpenOutput(input, options)),
        writer(output.Get(), output.GetName()) {
    writer.SetDelimiter(options.delimiter);
    if (!options.outputHeader || options.outputFormat == RecordFormat::JsonLines) return;
    for (const std::string& name : names) writer.WriteField(name);
    writer.EndRow();
  }

  void Finish(std::map<long, long>& statusCounts, long blankLines, std::ostream& summary) {
    writer.Flush();
    scorer.AddStatusCounts(statusCounts);
    WriteSummary(statusCounts, blankLines, summary);
  }

  std::vector<std::string> names;  // of the output's header row
  RowScorer scorer;
  FileDescriptor output;
  CsvWriter writer;
};

void SetUpReader(CsvReader& reader, const ScoreOptions& options) {
  reader.SetDelimiter(options.delimiter);
  reader.SetRejectBlankLines(options.rejectBlankLines);
}

// One thread: read, score and write each row in turn.
void ScoreSequentially(ScoreModel& model, const ScoreOptions& options, std::ostream& summary) {
  FileDescriptor input = FileDescriptor::OpenForReading(options.recordsPath);
  CsvReader reader(input.Get(), input.GetName());
  SetUpReader(reader, options);
  const std::vector<std::string> header = ReadHeader(reader, options);
  CheckPredictorColumns(header, model, options, input.GetName());

  ScoredOutput out(model, header, input, options);
  ProgressMeter progress(input.Get(), options.progress, options.progressIntervalMs);
  while (reader.ReadRow()) {
    ScoreReaderRow(reader, header.size(), out.scorer, out.writer);
    progress.Add(1);
  }
  progress.Finish();
  std::map<long, long> statusCounts;
  out.Finish(statusCounts, reader.GetBlankLines(), summary);
}

// Several threads: the header and the first record here, then blocks of
// rows on the workers.
void ScoreInParallel(ScoreModel& model, const ScoreOptions& options, std::ostream& summary) {
  FileDescriptor input = FileDescriptor::OpenForReading(options.recordsPath);
  CsvBlockReader blocks(input.Get(), input.GetName(), options.blockBytes);
  blocks.SetDelimiter(options.delimiter);
  CsvBlock block;
  CsvReader reader(input.GetName());
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
  std::vector<std::string> header = options.columns;
  if (header.empty()) {
    if (!readRow()) throw CliError(input.GetName() + ": no header row: the input is empty");
    header.assign(reader.GetFields().begin(), reader.GetFields().end());
  }
  CheckPredictorColumns(header, model, options, input.GetName());

  ScoredOutput out(model, header, input, options);
  ProgressMeter progress(input.Get(), options.progress, options.progressIntervalMs);
  std::map<long, long> statusCounts;
  long blankLines = 0;
  if (readRow()) {
    // The first record alone: the model's one-time setup runs here.
    ScoreReaderRow(reader, header.size(), out.scorer, out.writer);
    progress.Add(1);
    ParallelScoring parallel(model, header, options, options.threads, input.GetName());
    parallel.SetBlockWritten([&progress](long records) { progress.Add(records); });
    parallel.Run(block, reader.GetUnreadOffset(), reader.GetNextLine(), blocks, out.writer);
    parallel.AddStatusCounts(statusCounts);
    blankLines = parallel.GetBlankLines();
  }
  progress.Finish();
  out.Finish(statusCounts, blankLines + reader.GetBlankLines(), summary);
}

// One thread, reading or writing JSON Lines: each record is read, scored
// and written in turn.
void ScoreRecordByRecord(ScoreModel& model, const ScoreOptions& options, std::ostream& summary) {
  FileDescriptor input = FileDescriptor::OpenForReading(options.recordsPath);
  RecordSource records(input.Get(), input.GetName(), model, options);
  ScoredOutput out(model, records.GetColumns(), input, options);
  std::unique_ptr<JsonLinesWriter> jsonOut;
  if (options.outputFormat == RecordFormat::JsonLines) {
    jsonOut = std::make_unique<JsonLinesWriter>(model, records.GetColumns(), options);
  }
  ProgressMeter progress(input.Get(), options.progress, options.progressIntervalMs);
  while (records.Next()) {
    progress.Add(1);
    const std::vector<std::string_view>& cells = records.GetFields();
    try {
      if (!jsonOut) {
        out.scorer.ScoreRow(cells, out.writer);
        continue;
      }
      const MCScore::MCStatus status = out.scorer.Score(cells);
      jsonOut->WriteRow(status, out.scorer.GetResult(), cells, records.GetNumberCells(),
                        out.scorer.Explain(status.GetCode(), cells), out.writer);
    } catch (const CellError& e) {
      throw CsvError(input.GetName(), records.GetLine(), e.what());
    }
  }
  progress.Finish();
  std::map<long, long> statusCounts;
  out.Finish(statusCounts, records.GetBlankLines(), summary);
}

}  // namespace

void RunScore(ScoreModel& model, const ScoreOptions& options, std::ostream& summary) {
  model.SetPredictionOnly(options.predictionOnly);
  if (options.inputFormat == RecordFormat::JsonLines ||
      options.outputFormat == RecordFormat::JsonLines) {
    ScoreRecordByRecord(model, options, summary);
  } else if (options.threads <= 1) {
    ScoreSequentially(model, options, summary);
  } else {
    ScoreInParallel(model, options, summary);
  }
}
