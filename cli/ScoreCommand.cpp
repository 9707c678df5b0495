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
  if (counts.blankLines > 0) {
    out << "; skipped " << counts.blankLines
        << (counts.blankLines == 1 ? " blank line" : " blank lines");
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
// without a header row, or whose header is refused, leaves it alone.
// Remembers a write that failed because the reader of a pipe went away,
// which the library reports as any other failed write.
class OutputFile : public bnscore::ByteSink {
 public:
  explicit OutputFile(std::string path) : path_(std::move(path)) {}

  void Write(const char* data, std::size_t size) override {
    if (!file_) {
      file_.emplace(FileDescriptor::OpenForWriting(path_));
      sink_ = std::make_unique<FdSink>(file_->Get(), file_->GetName());
    }
    try {
      sink_->Write(data, size);
    } catch (const OutputClosed&) {
      closed_ = true;
      throw;
    }
  }

  bool IsClosed() const { return closed_; }

 private:
  std::string path_;
  std::optional<FileDescriptor> file_;
  std::unique_ptr<FdSink> sink_;
  bool closed_ = false;
};

}  // namespace

void RunScore(const bnscore::Model& model, const ScoreOptions& options, std::ostream& summary) {
  FileDescriptor input = FileDescriptor::OpenForReading(options.recordsPath);
  CheckOutputIsNotInput(input, options.outputPath);
  FdSource source(input.Get(), input.GetName());
  OutputFile output(options.outputPath);
  try {
    WriteSummary(model.ScoreCsv(source, input.GetName(), output, options), summary);
  } catch (const bnscore::Error& e) {
    if (output.IsClosed()) throw OutputClosed(e.what());
    throw;
  }
}
