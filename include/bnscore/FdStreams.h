#ifndef BNSCORE_FDSTREAMS_H_
#define BNSCORE_FDSTREAMS_H_

#include <cstddef>
#include <string>

#include "bnscore/bnscore.h"

namespace bnscore {

// A ByteSource that reads a file descriptor with read(). The descriptor
// stays the caller's. A read error throws FileError "cannot read NAME: ...".
class BNSCORE_API FdSource : public bnscore::ByteSource {
 public:
  FdSource(int fd, std::string name) : fd_(fd), name_(std::move(name)) {}
  std::size_t Read(char* buffer, std::size_t size) override;

 private:
  int fd_;
  std::string name_;
};

// A ByteSink that writes all its bytes to a file descriptor. The descriptor
// stays the caller's. A write error throws FileError "cannot write NAME: ...",
// OutputClosed when the reader of a pipe went away (EPIPE).
class BNSCORE_API FdSink : public bnscore::ByteSink {
 public:
  FdSink(int fd, std::string name) : fd_(fd), name_(std::move(name)) {}
  void Write(const char* data, std::size_t size) override;

 private:
  int fd_;
  std::string name_;
};

}  // namespace bnscore

#endif  // BNSCORE_FDSTREAMS_H_
