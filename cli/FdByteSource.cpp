#include "cli/FdByteSource.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace bnscore::cli {

std::size_t FdByteSource::Read(char* buffer, std::size_t size) {
  for (;;) {
    const ssize_t n = ::read(fd_, buffer, size);
    if (n >= 0) return static_cast<std::size_t>(n);
    if (errno != EINTR) throw FileError("cannot read " + name_ + ": " + std::strerror(errno));
  }
}

}  // namespace bnscore::cli
