#include "cli/QueryCommand.h"

#include <cerrno>
#include <cstring>

#include "cli/AtomicOutputFile.h"
#include "cli/FileDescriptor.h"

#include <unistd.h>

namespace bnscore::cli {

namespace {

class FileSource : public bnscore::ByteSource {
 public:
  explicit FileSource(const FileDescriptor& file) : file_(file) {}
  std::size_t Read(char* buffer, std::size_t size) override {
    for (;;) {
      const ssize_t n = ::read(file_.Get(), buffer, size);
      if (n >= 0) return static_cast<std::size_t>(n);
      if (errno != EINTR) {
        throw bnscore::Error("cannot read " + file_.GetName() + ": " + std::strerror(errno));
      }
    }
  }

 private:
  const FileDescriptor& file_;
};

class FileSink : public bnscore::ByteSink {
 public:
  explicit FileSink(bnscore::cli::AtomicOutputFile& file) : file_(file) {}
  void Write(const char* data, std::size_t size) override {
    file_.Write(std::string_view(data, size));
  }

 private:
  bnscore::cli::AtomicOutputFile& file_;
};

}  // namespace

void RunQuery(const bnscore::Model& model, const QueryOptions& options) {
  FileDescriptor input = FileDescriptor::OpenForReading(options.recordsPath);
  bnscore::cli::AtomicOutputFile output(options.outputPath);
  FileSource source(input);
  FileSink sink(output);
  model.QueryCsv(source, input.GetName(), sink, options.nodes, options.delimiter);
  output.Commit();
}

}  // namespace bnscore::cli
