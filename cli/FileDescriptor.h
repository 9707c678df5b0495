#ifndef BNSCORE_CLI_FILEDESCRIPTOR_H_
#define BNSCORE_CLI_FILEDESCRIPTOR_H_

#include <string>

// An open file descriptor. Owns it (closes it on destruction) unless it is
// one of the standard streams, which stay open.
class FileDescriptor {
 public:
  // Opens `path` for reading; "-" is standard input. Throws EngineError.
  static FileDescriptor OpenForReading(const std::string& path);
  // Creates or truncates `path` for writing; "" or "-" is standard output.
  // Throws EngineError.
  static FileDescriptor OpenForWriting(const std::string& path);

  FileDescriptor(FileDescriptor&& other) noexcept;
  FileDescriptor& operator=(FileDescriptor&&) = delete;
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  ~FileDescriptor();

  int Get() const { return fd_; }
  // The name to use in messages: the path, or "stdin"/"stdout".
  const std::string& GetName() const { return name_; }

 private:
  FileDescriptor(int fd, bool owned, std::string name);

  int fd_;
  bool owned_;
  std::string name_;
};

#endif  // BNSCORE_CLI_FILEDESCRIPTOR_H_
