#include "service/RequestBody.h"

#include <algorithm>
#include <cstring>

namespace bnscore::service {

void BodyBuffer::Reserve(std::size_t capacity) {
  if (capacity <= capacity_) return;
  // new char[] leaves the bytes as they are: they are written before read.
  std::unique_ptr<char[]> grown(new char[capacity]);
  if (size_ > 0) std::memcpy(grown.get(), data_.get(), size_);
  data_ = std::move(grown);
  capacity_ = capacity;
}

void BodyBuffer::Append(const char* bytes, std::size_t count) {
  if (count == 0) return;
  if (data_ != nullptr && bytes == data_.get() + size_ && count <= capacity_ - size_) {
    size_ += count;  // received in place
    return;
  }
  if (count > capacity_ - size_) Reserve(std::max(size_ + count, 2 * capacity_));
  std::memcpy(data_.get() + size_, bytes, count);
  size_ += count;
}

}  // namespace bnscore::service
