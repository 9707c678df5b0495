#include "cli/FileDescriptor.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>

#include "engine/EngineError.h"

FileDescriptor::FileDescriptor(int fd, bool owned, std::string name)
    : fd_(fd), owned_(owned), name_(std::move(name)) {}

FileDescriptor::FileDescriptor(FileDescriptor&& other) noexcept
    : fd_(other.fd_), owned_(other.owned_), name_(std::move(other.name_)) {
  other.owned_ = false;
}

FileDescriptor::~FileDescriptor() {
  if (owned_) ::close(fd_);
}

FileDescriptor FileDescriptor::OpenForReading(const std::string& path) {
  if (path == "-") return FileDescriptor(STDIN_FILENO, false, "stdin");
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) throw EngineError("cannot open " + path + ": " + std::strerror(errno));
  return FileDescriptor(fd, true, path);
}

FileDescriptor FileDescriptor::OpenForWriting(const std::string& path) {
  if (path.empty() || path == "-") return FileDescriptor(STDOUT_FILENO, false, "stdout");
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) throw EngineError("cannot create " + path + ": " + std::strerror(errno));
  return FileDescriptor(fd, true, path);
}
