#include "engine/CsvBlockReader.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "bnscore/FdStreams.h"

namespace bnscore::internal {

CsvBlockReader::CsvBlockReader(int fd, std::string sourceName, std::size_t blockSize)
    : CsvBlockReader(std::make_unique<FdSource>(fd, sourceName), sourceName, blockSize) {}

CsvBlockReader::CsvBlockReader(std::unique_ptr<bnscore::ByteSource> source, std::string sourceName,
                               std::size_t blockSize)
    : CsvBlockReader(*source, std::move(sourceName), blockSize) {
  ownedSource_ = std::move(source);
}

CsvBlockReader::CsvBlockReader(bnscore::ByteSource& source, std::string sourceName,
                               std::size_t blockSize)
    : source_(&source),
      sourceName_(std::move(sourceName)),
      blockSize_(std::max<std::size_t>(blockSize, 1)),
      buffer_(kReadSize + blockSize_) {}

bool CsvBlockReader::ReadBlock(CsvBlock& block) {
  for (;;) {
    if (!eof_ && end_ - begin_ < std::max<std::size_t>(blockSize_, 3)) {
      Refill();
      continue;
    }
    if (atStart_) {
      // A byte-order mark is no field text: CsvReader skips it.
      if (end_ >= 3 && std::memcmp(buffer_.data(), "\xEF\xBB\xBF", 3) == 0) scanned_ = 3;
      atStart_ = false;
    }
    const std::size_t window = std::min(end_, begin_ + blockSize_);
    if (scanned_ < window) {
      Scan(window);
    } else {
      // A row longer than a block: up to its end.
      for (; scanned_ < end_ && lastCut_ == begin_; ++scanned_) Step(buffer_[scanned_], scanned_);
    }
    if (lastCut_ > begin_) {
      Take(lastCut_, block);
      return true;
    }
    if (scanned_ < end_) continue;
    if (eof_) {
      Take(end_, block);  // what is left: the end of the last row, or nothing
      return block.size > 0;
    }
    Refill();
  }
}

void CsvBlockReader::Take(std::size_t cut, CsvBlock& block) {
  block.size = cut - begin_;
  if (block.bytes.size() < block.size + CsvBlock::kPadding) {
    block.bytes.resize(block.size + CsvBlock::kPadding);
  }
  if (block.size > 0) std::memcpy(block.bytes.data(), buffer_.data() + begin_, block.size);
  begin_ = cut;
  lastCut_ = cut;
  scanned_ = std::max(scanned_, cut);
}

void CsvBlockReader::Refill() {
  if (begin_ > 0) {
    std::memmove(buffer_.data(), buffer_.data() + begin_, end_ - begin_);
    end_ -= begin_;
    scanned_ -= begin_;
    lastCut_ -= begin_;
    begin_ = 0;
  }
  if (end_ == buffer_.size()) buffer_.resize(buffer_.size() * 2);
  const std::size_t n = source_->Read(buffer_.data() + end_, buffer_.size() - end_);
  end_ += n;
  eof_ = n == 0;
}

void CsvBlockReader::Scan(std::size_t to) {
  const char* const data = buffer_.data();
  if (jsonLines_) {
    const void* lf = ::memrchr(data + scanned_, '\n', to - scanned_);
    if (lf != nullptr) lastCut_ = static_cast<std::size_t>(static_cast<const char*>(lf) - data) + 1;
    scanned_ = to;
    return;
  }
  std::size_t i = scanned_;
  while (i < to) {
    if (state_ == kFieldStart || state_ == kUnquoted) {
      // Outside quoted fields the rows end at every LF up to the next
      // quote, which only the bytes after the last LF before it can place
      // at the start of a field.
      const void* quote = std::memchr(data + i, '"', to - i);
      const std::size_t stop =
          quote != nullptr ? static_cast<std::size_t>(static_cast<const char*>(quote) - data) : to;
      const void* lf = ::memrchr(data + i, '\n', stop - i);
      if (lf != nullptr) {
        i = static_cast<std::size_t>(static_cast<const char*>(lf) - data) + 1;
        lastCut_ = i;
        state_ = kFieldStart;
      }
      for (; i < stop; ++i) Step(data[i], i);
      if (i < to) {
        Step(data[i], i);  // the quote
        ++i;
      }
    } else if (state_ == kQuoted) {
      const void* quote = std::memchr(data + i, '"', to - i);
      if (quote == nullptr) break;
      i = static_cast<std::size_t>(static_cast<const char*>(quote) - data);
      Step(data[i], i);
      ++i;
    } else {
      Step(data[i], i);
      ++i;
    }
  }
  scanned_ = to;
}

void CsvBlockReader::Step(char c, std::size_t offset) {
  if (jsonLines_) {
    if (c == '\n') lastCut_ = offset + 1;
    return;
  }
  if (state_ == kAfterCR) {
    state_ = kFieldStart;
    if (c == '\n') {
      lastCut_ = offset + 1;  // CRLF
      return;
    }
    lastCut_ = offset;  // a lone CR ended the row
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
  if (c == delimiter_) {
    state_ = kFieldStart;
  } else if (c == '\n') {
    lastCut_ = offset + 1;
    state_ = kFieldStart;
  } else if (c == '\r') {
    state_ = kAfterCR;
  } else {
    state_ = kUnquoted;
  }
}

}  // namespace bnscore::internal
