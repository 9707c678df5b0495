#include "cli/FileDescriptor.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>

#include "cli/InputKind.h"
#include "bnscore/bnscore.h"

namespace bnscore::cli {

FileDescriptor::FileDescriptor(int fd, bool owned, std::string name)
    : fd_(fd), owned_(owned), name_(std::move(name)) {}

FileDescriptor::FileDescriptor(FileDescriptor&& other) noexcept
    : fd_(other.fd_),
      owned_(other.owned_),
      name_(std::move(other.name_)),
      gzip_(std::move(other.gzip_)) {
  other.owned_ = false;
}

FileDescriptor::~FileDescriptor() {
  gzip_.reset();  // stops reading fd_ first
  if (owned_) ::close(fd_);
}

int FileDescriptor::Get() const { return gzip_ ? gzip_->Get() : fd_; }

void FileDescriptor::FinishReading() {
  if (gzip_) gzip_->Finish();
}

namespace {

constexpr std::size_t kHeadBytes = 512;

// Up to kHeadBytes of what `fd` will read next, leaving them to be read: of
// a regular file by pread, of a pipe through tee, of a socket by a peek.
// "" for anything else (a terminal): its bytes are not looked at.
std::string PeekHead(int fd) {
  struct stat info;
  if (::fstat(fd, &info) != 0) return {};
  std::string head(kHeadBytes, '\0');
  ssize_t got = -1;
  if (S_ISREG(info.st_mode)) {
    const off_t offset = ::lseek(fd, 0, SEEK_CUR);
    if (offset >= 0) got = ::pread(fd, head.data(), head.size(), offset);
  } else if (S_ISFIFO(info.st_mode)) {
    int copy[2];
    if (::pipe2(copy, O_CLOEXEC) != 0) return {};
    // Blocks until the writer has written something (or closed the pipe).
    const ssize_t teed = ::tee(fd, copy[1], head.size(), 0);
    if (teed > 0) got = ::read(copy[0], head.data(), static_cast<std::size_t>(teed));
    ::close(copy[0]);
    ::close(copy[1]);
  } else if (S_ISSOCK(info.st_mode)) {
    got = ::recv(fd, head.data(), head.size(), MSG_PEEK);
  }
  head.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
  return head;
}

}  // namespace

FileDescriptor FileDescriptor::OpenForReading(const std::string& path) {
  FileDescriptor file =
      path == "-" ? FileDescriptor(STDIN_FILENO, false, "stdin")
                  : FileDescriptor(::open(path.c_str(), O_RDONLY | O_CLOEXEC), true, path);
  if (file.fd_ < 0) {
    file.owned_ = false;
    throw FileError("cannot open " + path + ": " + std::strerror(errno));
  }
  const bnscore::cli::InputKind kind = bnscore::cli::ClassifyInput(PeekHead(file.fd_));
  if (kind.IsRefused()) {
    throw Error(file.name_ + ": " + kind.description);
  }
  if (kind.kind == bnscore::cli::InputKind::Gzip) {
    file.gzip_ = std::make_unique<bnscore::cli::GzipDecoder>(file.fd_, file.name_);
  }
  return file;
}

FileDescriptor FileDescriptor::OpenForWriting(const std::string& path) {
  if (path.empty() || path == "-") return FileDescriptor(STDOUT_FILENO, false, "stdout");
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) throw FileError("cannot create " + path + ": " + std::strerror(errno));
  return FileDescriptor(fd, true, path);
}

}  // namespace bnscore::cli
