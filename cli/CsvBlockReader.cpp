#include "cli/CsvBlockReader.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

#include "cli/CliError.h"

CsvBlockReader::CsvBlockReader(int fd, std::string sourceName, std::size_t blockSize)
    : fd_(fd), sourceName_(std::move(sourceName)), blockSize_(std::max<std::size_t>(blockSize, 1)) {}

bool CsvBlockReader::ReadBlock(CsvBlock& block) {
  const std::size_t carried = carry_.size();
  if (block.bytes.size() < carried + blockSize_) block.bytes.resize(carried + blockSize_);
  std::copy(carry_.begin(), carry_.end(), block.bytes.begin());
  block.size = carried;
  carry_.clear();

  std::size_t scanned = carried;
  std::size_t cut = 0;
  for (;;) {
    Fill(block, std::min(block.bytes.size(), scanned + blockSize_));
    if (atStart_ && block.size >= 3) {
      // A byte-order mark is no field text: CsvReader skips it.
      if (std::memcmp(block.bytes.data(), "\xEF\xBB\xBF", 3) == 0) scanned = 3;
      atStart_ = false;
    }
    std::size_t found = Scan(block.bytes.data(), scanned, block.size);
    if (found > 0) cut = found;
    scanned = block.size;
    if (eof_) {
      cut = block.size;
      break;
    }
    if (cut > 0) break;
    // No row ends in the block yet: make room for more of it.
    if (block.bytes.size() < block.size + blockSize_) block.bytes.resize(block.size + blockSize_);
  }
  atStart_ = false;
  carry_.assign(block.bytes.begin() + static_cast<std::ptrdiff_t>(cut),
                block.bytes.begin() + static_cast<std::ptrdiff_t>(block.size));
  block.size = cut;
  return block.size > 0;
}

void CsvBlockReader::Fill(CsvBlock& block, std::size_t want) {
  while (!eof_ && block.size < want) {
    ssize_t n = ::read(fd_, block.bytes.data() + block.size, block.bytes.size() - block.size);
    if (n > 0) {
      block.size += static_cast<std::size_t>(n);
    } else if (n == 0) {
      eof_ = true;
    } else if (errno != EINTR) {
      throw CliError("cannot read " + sourceName_ + ": " + std::strerror(errno));
    }
  }
}

std::size_t CsvBlockReader::Scan(const char* data, std::size_t from, std::size_t to) {
  std::size_t cut = 0;
  std::size_t i = from;
  while (i < to) {
    if (state_ == kFieldStart || state_ == kUnquoted) {
      // Outside quoted fields the rows end at every LF up to the next
      // quote, which only the bytes after the last LF before it can place
      // at the start of a field.
      const void* quote = std::memchr(data + i, '"', to - i);
      std::size_t stop = quote != nullptr ? static_cast<std::size_t>(static_cast<const char*>(quote) - data) : to;
      const void* lf = ::memrchr(data + i, '\n', stop - i);
      if (lf != nullptr) {
        cut = static_cast<std::size_t>(static_cast<const char*>(lf) - data) + 1;
        i = cut;
        state_ = kFieldStart;
      }
      for (; i < stop; ++i) Step(data[i], i, cut);
      if (i < to) {
        Step(data[i], i, cut);  // the quote
        ++i;
      }
    } else if (state_ == kQuoted) {
      const void* quote = std::memchr(data + i, '"', to - i);
      if (quote == nullptr) return cut;
      i = static_cast<std::size_t>(static_cast<const char*>(quote) - data);
      Step(data[i], i, cut);
      ++i;
    } else {
      Step(data[i], i, cut);
      ++i;
    }
  }
  return cut;
}

void CsvBlockReader::Step(char c, std::size_t offset, std::size_t& cut) {
  if (state_ == kAfterCR) {
    if (c == '\n') {
      cut = offset + 1;  // CRLF
      state_ = kFieldStart;
      return;
    }
    cut = offset;  // a lone CR ended the row
    state_ = kFieldStart;
  }
  switch (state_) {
    case kQuoted:
      if (c == '"') state_ = kQuoteInQuoted;
      return;
    case kFieldStart:
      if (c == '"') {
        state_ = kQuoted;
        return;
      }
      break;
    case kQuoteInQuoted:
      if (c == '"') {
        state_ = kQuoted;  // a doubled quote
        return;
      }
      break;
    default:
      break;
  }
  // Outside quotes (text after a closing quote is a fault that the parser
  // reports; it is scanned as unquoted text).
  if (c == ',') {
    state_ = kFieldStart;
  } else if (c == '\n') {
    cut = offset + 1;
    state_ = kFieldStart;
  } else if (c == '\r') {
    state_ = kAfterCR;
  } else {
    state_ = kUnquoted;
  }
}
