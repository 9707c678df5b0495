#ifndef BNSCORE_CLI_FDBYTESOURCE_H_
#define BNSCORE_CLI_FDBYTESOURCE_H_

#include <string>

#include "bnscore/bnscore.h"

namespace bnscore::cli {

// The bytes of an open file descriptor as a bnscore::ByteSource. Borrows
// the descriptor (the caller closes it); `name` names it in faults
// (bnscore::FileError "cannot read NAME: ...").
class FdByteSource final : public ByteSource {
 public:
  FdByteSource(int fd, std::string name) : fd_(fd), name_(std::move(name)) {}
  std::size_t Read(char* buffer, std::size_t size) override;

 private:
  int fd_;
  std::string name_;
};

}  // namespace bnscore::cli

#endif  // BNSCORE_CLI_FDBYTESOURCE_H_
