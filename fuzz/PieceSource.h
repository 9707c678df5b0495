#ifndef BNSCORE_FUZZ_PIECESOURCE_H_
#define BNSCORE_FUZZ_PIECESOURCE_H_

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <string>

#include "bnscore/bnscore.h"

namespace bnscore::fuzz {

// The bytes of `text`, given at most `piece` bytes a read, so that a reader
// sees its rows cut at every place. Borrows `text`, which must outlive it.
class PieceSource : public bnscore::ByteSource {
 public:
  PieceSource(const std::string& text, std::size_t piece) : text_(text), piece_(piece) {}
  std::size_t Read(char* buffer, std::size_t size) override {
    const std::size_t n = std::min({size, piece_, text_.size() - offset_});
    std::memcpy(buffer, text_.data() + offset_, n);
    offset_ += n;
    return n;
  }

 private:
  const std::string& text_;
  std::size_t piece_;
  std::size_t offset_ = 0;
};

}  // namespace bnscore::fuzz

#endif  // BNSCORE_FUZZ_PIECESOURCE_H_
