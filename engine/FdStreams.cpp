#include "bnscore/FdStreams.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "bnscore/errors.h"

namespace bnscore {

std::size_t FdSource::Read(char* buffer, std::size_t size) {
  for (;;) {
    const ssize_t n = ::read(fd_, buffer, size);
    if (n >= 0) return static_cast<std::size_t>(n);
    if (errno != EINTR) throw FileError("cannot read " + name_ + ": " + std::strerror(errno));
  }
}

void FdSink::Write(const char* data, std::size_t size) {
  std::size_t written = 0;
  while (written < size) {
    const ssize_t n = ::write(fd_, data + written, size - written);
    if (n < 0) {
      if (errno == EINTR) continue;
      const int error = errno;
      const std::string message = "cannot write " + name_ + ": " + std::strerror(error);
      if (error == EPIPE) throw OutputClosed(message);
      throw FileError(message);
    }
    written += static_cast<std::size_t>(n);
  }
}

}  // namespace bnscore
