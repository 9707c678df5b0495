#ifndef BNSCORE_CLI_FILEDESCRIPTOR_H_
#define BNSCORE_CLI_FILEDESCRIPTOR_H_

#include <memory>
#include <string>

#include "cli/GzipDecoder.h"

namespace bnscore::cli {

// An open file descriptor. Owns it (closes it on destruction) unless it is
// one of the standard streams, which stay open.
class FileDescriptor {
 public:
  // Opens `path` for reading; "-" is standard input. Looks at the first
  // bytes without taking them (InputKind): gzip-compressed input is read
  // through a GzipDecoder, so that Get gives the text; UTF-16 and other
  // binary input is refused. Throws bnscore::FileError when it cannot be
  // opened, bnscore::Error ("NAME: looks like ...") for such input.
  static FileDescriptor OpenForReading(const std::string& path);
  // Creates or truncates `path` for writing; "" or "-" is standard output.
  // Throws bnscore::FileError.
  static FileDescriptor OpenForWriting(const std::string& path);

  FileDescriptor(FileDescriptor&& other) noexcept;
  FileDescriptor& operator=(FileDescriptor&&) = delete;
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  ~FileDescriptor();

  // The descriptor to read or write: for gzip input, the text's.
  int Get() const;
  // The file itself, also for gzip input: where a progress meter sees how
  // far the reading is.
  int GetFile() const { return fd_; }
  // For input: throws bnscore::Error when the text did not come whole (gzip
  // data corrupt or cut short). Call once the reader has seen its end.
  void FinishReading();
  // The name to use in messages: the path, or "stdin"/"stdout".
  const std::string& GetName() const { return name_; }

 private:
  FileDescriptor(int fd, bool owned, std::string name);

  int fd_;
  bool owned_;
  std::string name_;
  std::unique_ptr<bnscore::cli::GzipDecoder> gzip_;  // reads fd_; null for text
};

}  // namespace bnscore::cli

#endif  // BNSCORE_CLI_FILEDESCRIPTOR_H_
