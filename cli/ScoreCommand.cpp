#include "cli/ScoreCommand.h"

#include <map>
#include <memory>
#include <optional>
#include <vector>

#include "cli/AtomicOutputFile.h"
#include "cli/FileDescriptor.h"
#include "cli/ProgressMeter.h"
#include "cli/UnscoredDiagnosis.h"
#include "bnscore/FdStreams.h"

namespace bnscore::cli {

using bnscore::OutputClosed;

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

// The output file, created by Open or the first write and put in place by
// Commit (AtomicOutputFile): a run that fails leaves an existing file alone.
// Remembers a write that failed because the reader of a pipe went away,
// which the library reports as any other failed write.
class OutputFile : public bnscore::ByteSink {
 public:
  explicit OutputFile(std::string path) : path_(std::move(path)) {}

  void Open() {
    if (file_) return;
    file_.emplace(path_);
    sink_ = std::make_unique<FdSink>(file_->Get(), file_->GetName());
  }

  void Write(const char* data, std::size_t size) override {
    Open();
    try {
      sink_->Write(data, size);
    } catch (const OutputClosed&) {
      closed_ = true;
      throw;
    }
  }

  void Commit() {
    Open();
    file_->Commit();
  }

  bool IsClosed() const { return closed_; }

 private:
  std::string path_;
  std::optional<bnscore::cli::AtomicOutputFile> file_;
  std::unique_ptr<FdSink> sink_;
  bool closed_ = false;
};

// When records were read but none was scored, says so, and why when the
// input can be read again.
void WriteUnscored(const bnscore::Model& model, const ScoreOptions& options,
                   const bnscore::CsvSummary& counts, std::ostream& out) {
  if (counts.records == 0) return;
  for (const auto& [status, count] : counts.statusCounts) {
    if (status == 0 && count > 0) return;
  }
  const std::string why = bnscore::cli::DiagnoseUnscored(model, options);
  out << "bnscore: no record was scored"
      << (why.empty() ? std::string(" (--reason says why for each record)")
                      : "; commonest reason: " + why)
      << '\n';
}

}  // namespace

bnscore::CsvSummary RunScore(const bnscore::Model& model, const ScoreOptions& options,
                             std::ostream& summary) {
  FileDescriptor input = FileDescriptor::OpenForReading(options.recordsPath);
  OutputFile output(options.outputPath);
  ProgressMeter progress(input.GetFile(), options.progress, options.progressIntervalMs);
  bnscore::CsvOptions csv = options;
  csv.recordsWritten = [&progress](long records) { progress.Add(records); };
  FdSource source(input.Get(), input.GetName());
  bnscore::CsvSummary counts;
  try {
    counts = model.ScoreCsv(source, input.GetName(), output, csv);
  } catch (const bnscore::Error& e) {
    if (output.IsClosed()) throw OutputClosed(e.what());
    throw;
  }
  input.FinishReading();
  output.Commit();  // even when nothing was written (no header row, no records)
  progress.Finish();
  WriteSummary(counts, summary);
  WriteUnscored(model, options, counts, summary);
  return counts;
}

}  // namespace bnscore::cli
