#include "cli/ScoreCommand.h"

#include <sys/stat.h>

#include <memory>
#include <optional>

#include "cli/FileDescriptor.h"
#include "engine/CliError.h"
#include "engine/FdStreams.h"

namespace {

void WriteSummary(const bnscore::CsvSummary& counts, std::ostream& out) {
  out << "bnscore: scored " << counts.records << (counts.records == 1 ? " record" : " records");
  const char* separator = ": ";
  for (const auto& [status, count] : counts.statusCounts) {
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

// The output file, created (or truncated) by the first write: an input
// without a header row leaves it alone.
class OutputFile : public bnscore::ByteSink {
 public:
  explicit OutputFile(std::string path) : path_(std::move(path)) {}

  void Write(const char* data, std::size_t size) override {
    if (!file_) {
      file_.emplace(FileDescriptor::OpenForWriting(path_));
      sink_ = std::make_unique<FdSink>(file_->Get(), file_->GetName());
    }
    sink_->Write(data, size);
  }

 private:
  std::string path_;
  std::optional<FileDescriptor> file_;
  std::unique_ptr<FdSink> sink_;
};

}  // namespace

void RunScore(const bnscore::Model& model, const ScoreOptions& options, std::ostream& summary) {
  FileDescriptor input = FileDescriptor::OpenForReading(options.recordsPath);
  CheckOutputIsNotInput(input, options.outputPath);
  FdSource source(input.Get(), input.GetName());
  OutputFile output(options.outputPath);
  bnscore::CsvOptions csv;
  csv.keepInput = options.keepInput;
  csv.threads = options.threads;
  csv.blockBytes = options.blockBytes;
  WriteSummary(model.ScoreCsv(source, input.GetName(), output, csv), summary);
}
