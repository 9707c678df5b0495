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
      blockSize_(std::max<std::size_t>(blockSize, 1)) {}

bool CsvBlockReader::ReadBlock(CsvBlock& block) {
  // The block starts with the bytes read after the last cut, of which the
  // first scanned_ have been scanned.
  const std::size_t start = std::max(std::max<std::size_t>(blockSize_, 3), carry_.size());
  if (block.bytes.size() < start + CsvBlock::kPadding) {
    block.bytes.resize(start + CsvBlock::kPadding);
  }
  if (!carry_.empty()) std::memcpy(block.bytes.data(), carry_.data(), carry_.size());
  block.size = carry_.size();
  carry_.clear();
  lastCut_ = 0;
  Fill(block, start);
  if (atStart_) {
    // A byte-order mark is no field text: CsvReader skips it.
    if (block.size >= 3 && std::memcmp(block.bytes.data(), "\xEF\xBB\xBF", 3) == 0) scanned_ = 3;
    atStart_ = false;
  }
  for (;;) {
    const char* const data = block.bytes.data();
    const std::size_t window = std::min(block.size, blockSize_);
    if (scanned_ < window) {
      Scan(data, window);
    } else {
      // A row longer than a block: up to its end.
      for (; scanned_ < block.size && lastCut_ == 0; ++scanned_) Step(data[scanned_], scanned_);
    }
    if (lastCut_ > 0) break;
    if (scanned_ < block.size) continue;
    if (eof_) {
      lastCut_ = block.size;  // what is left: the end of the last row, or nothing
      break;
    }
    Fill(block, block.size + blockSize_);
  }
  carry_.assign(block.bytes.data() + lastCut_, block.bytes.data() + block.size);
  scanned_ -= lastCut_;
  block.size = lastCut_;
  return block.size > 0;
}

void CsvBlockReader::Fill(CsvBlock& block, std::size_t want) {
  if (block.bytes.size() < want + CsvBlock::kPadding) {
    block.bytes.resize(want + CsvBlock::kPadding);
  }
  while (!eof_ && block.size < want) {
    const std::size_t n = source_->Read(block.bytes.data() + block.size, want - block.size);
    block.size += n;
    eof_ = n == 0;
  }
}

void CsvBlockReader::Scan(const char* data, std::size_t to) {
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
