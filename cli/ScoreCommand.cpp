#include "cli/ScoreCommand.h"

#include <sys/stat.h>

#include <map>
#include <memory>
#include <vector>

#include "cli/CliError.h"
#include "cli/CsvReader.h"
#include "cli/CsvWriter.h"
#include "cli/FileDescriptor.h"
#include "cli/RecordFiller.h"
#include "cli/ResultColumns.h"

namespace {

// "1 field", "3 fields".
std::string Count(std::size_t n, const char* noun) {
  return std::to_string(n) + " " + noun + (n == 1 ? "" : "s");
}

void WriteSummary(long records, const std::map<long, long>& statusCounts, std::ostream& out) {
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

}  // namespace

void RunScore(ScoreModel& model, const ScoreOptions& options, std::ostream& summary) {
  FileDescriptor input = FileDescriptor::OpenForReading(options.recordsPath);
  CsvReader reader(input.Get(), input.GetName());
  if (!reader.ReadRow()) throw CliError(input.GetName() + ": no header row: the input is empty");
  const std::vector<std::string> header(reader.GetFields().begin(), reader.GetFields().end());

  model.SetPredictionOnly(options.predictionOnly);
  RecordFiller filler(header, model, options.derivedInRecord, !options.byName);
  ResultColumns columns(model, options.predictionOnly);

  CheckOutputIsNotInput(input, options.outputPath);
  FileDescriptor output = FileDescriptor::OpenForWriting(options.outputPath);
  CsvWriter writer(output.Get(), output.GetName());
  if (options.keepInput) {
    for (const std::string& name : header) writer.WriteField(name);
  }
  columns.WriteHeader(writer);
  writer.EndRow();

  // The one result object: made by the first GetScore, handed back to every
  // later one, deleted here (before the model, whose plug-in made it).
  ScoreResult* rawResult = nullptr;
  std::unique_ptr<ScoreResult> result;
  long records = 0;
  std::map<long, long> statusCounts;
  while (reader.ReadRow()) {
    const std::vector<std::string_view>& cells = reader.GetFields();
    if (cells.size() != header.size()) {
      throw CliError(input.GetName() + ":" + std::to_string(reader.GetLine()) + ": the row has " +
                     Count(cells.size(), "field") + " but the header has " +
                     Count(header.size(), "field"));
    }
    filler.Fill(cells);
    MCScore::MCStatus status = model.GetScore(&filler.GetRecord(), rawResult, options.derivedInRecord);
    if (rawResult != result.get()) {
      // The model replaced the result object and deleted the old one.
      result.release();
      result.reset(rawResult);
    }
    if (options.keepInput) {
      for (std::string_view cell : cells) writer.WriteField(cell);
    }
    columns.WriteRow(status, rawResult, writer);
    writer.EndRow();
    ++records;
    ++statusCounts[status.GetCode()];
  }
  writer.Flush();
  WriteSummary(records, statusCounts, summary);
}
