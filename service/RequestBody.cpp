#include "service/RequestBody.h"

#include <sys/mman.h>

#include <algorithm>
#include <cstring>
#include <new>

namespace bnscore::service {

void BodyBlockRelease::operator()(char* block) const {
  if (mapped == 0) {
    delete[] block;
  } else {
    ::munmap(block, mapped);
  }
}

void BodyBuffer::Reserve(std::size_t capacity) {
  if (capacity <= capacity_) return;
  std::unique_ptr<char, BodyBlockRelease> grown;
  if (capacity >= kLargeBlock) {
    void* block = ::mmap(nullptr, capacity, PROT_READ | PROT_WRITE,
                         MAP_PRIVATE | MAP_ANONYMOUS | MAP_POPULATE, -1, 0);
    if (block == MAP_FAILED) throw std::bad_alloc();
    grown = std::unique_ptr<char, BodyBlockRelease>(static_cast<char*>(block),
                                                    BodyBlockRelease{capacity});
  } else {
    // new char[] leaves the bytes as they are: they are written before read.
    grown = std::unique_ptr<char, BodyBlockRelease>(new char[capacity], BodyBlockRelease{0});
  }
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
