#include "engine/CsvReader.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "engine/EngineError.h"
#include "bnscore/FdStreams.h"

namespace bnscore::internal {

CsvReader::CsvReader(int fd, std::string sourceName, std::size_t bufferSize)
    : CsvReader(std::make_unique<FdSource>(fd, sourceName), sourceName, bufferSize) {}

CsvReader::CsvReader(std::unique_ptr<bnscore::ByteSource> source, std::string sourceName,
                     std::size_t bufferSize)
    : CsvReader(*source, std::move(sourceName), bufferSize) {
  ownedSource_ = std::move(source);
}

CsvReader::CsvReader(bnscore::ByteSource& source, std::string sourceName, std::size_t bufferSize)
    : source_(&source),
      sourceName_(std::move(sourceName)),
      owned_(new char[std::max<std::size_t>(bufferSize, 4)]),
      buffer_(owned_.get()),
      capacity_(std::max<std::size_t>(bufferSize, 4)) {
  SetDelimiter(',');
}

CsvReader::CsvReader(std::string sourceName)
    : source_(nullptr),
      sourceName_(std::move(sourceName)),
      buffer_(nullptr),
      capacity_(0),
      eof_(true) {
  SetDelimiter(',');
}

void CsvReader::SetDelimiter(char delimiter) {
  endsField_[static_cast<unsigned char>(delimiter_)] = false;
  delimiter_ = delimiter;
  endsField_[static_cast<unsigned char>(delimiter)] = true;
  endsField_[static_cast<unsigned char>('\n')] = true;
  endsField_[static_cast<unsigned char>('\r')] = true;
}

void CsvReader::ResetToBlock(char* data, std::size_t size, long firstLine, bool atInputStart) {
  buffer_ = data;
  capacity_ = size;
  begin_ = 0;
  end_ = size;
  eof_ = true;  // the block holds whole rows: nothing follows it
  bomChecked_ = !atInputStart;
  line_ = firstLine;
  rowLine_ = 0;
  fields_.clear();
}

CsvReader::~CsvReader() = default;

bool CsvReader::ReadRow() {
  if (!bomChecked_) SkipByteOrderMark();
  for (;;) {
    switch (ParseRow()) {
      case Parse::Row:
        return true;
      case Parse::End:
        fields_.clear();
        return false;
      case Parse::NeedMore:
        if (!Refill()) eof_ = true;
        break;
    }
  }
}

void CsvReader::SkipByteOrderMark() {
  while (end_ - begin_ < 3 && !eof_) {
    if (!Refill()) eof_ = true;
  }
  if (end_ - begin_ >= 3 && std::memcmp(buffer_ + begin_, "\xEF\xBB\xBF", 3) == 0) begin_ += 3;
  bomChecked_ = true;
}

bool CsvReader::Refill() {
  if (source_ == nullptr) return false;
  if (begin_ > 0) {
    std::memmove(buffer_, buffer_ + begin_, end_ - begin_);
    end_ -= begin_;
    begin_ = 0;
  }
  if (end_ == capacity_) {
    // One row fills the whole buffer: make room for the rest of it.
    std::size_t grown = capacity_ * 2;
    std::unique_ptr<char[]> bigger(new char[grown]);
    std::memcpy(bigger.get(), buffer_, end_);
    owned_ = std::move(bigger);
    buffer_ = owned_.get();
    capacity_ = grown;
  }
  const std::size_t n = source_->Read(buffer_ + end_, capacity_ - end_);
  end_ += n;
  return n > 0;
}

CsvReader::Parse CsvReader::ParseRow() {
  const char* const base = buffer_;
  const char* const end = base + end_;
  const char* p = base + begin_;

  // Empty lines hold no row; what they consume is kept even when the row
  // after them needs more input.
  while (p < end && (*p == '\n' || *p == '\r')) {
    if (*p == '\r' && p + 1 == end && !eof_) break;
    if (rejectBlankLines_) Fail(line_, "blank line (--blank-lines skip skips them)");
    if (*p == '\r' && p + 1 < end && p[1] == '\n') ++p;
    ++p;
    ++line_;
    ++blankLines_;
  }
  begin_ = static_cast<std::size_t>(p - base);
  if (p == end) return eof_ ? Parse::End : Parse::NeedMore;
  if (*p == '\r') return Parse::NeedMore;  // a CR whose LF may follow

  fields_.clear();
  escaped_.clear();
  long line = line_;
  rowLine_ = line_;
  for (;;) {
    if (p < end && *p == '"') {
      const long openLine = line;
      const char* start = ++p;
      bool escaped = false;
      for (;;) {
        const char* quote =
            static_cast<const char*>(std::memchr(p, '"', static_cast<std::size_t>(end - p)));
        if (quote == nullptr) {
          if (eof_) Fail(openLine, "quoted field is not closed before the end of the input");
          return Parse::NeedMore;
        }
        line += std::count(p, quote, '\n');
        p = quote + 1;
        if (p == end && !eof_) return Parse::NeedMore;
        if (p < end && *p == '"') {
          escaped = true;
          ++p;
          continue;
        }
        break;
      }
      fields_.emplace_back(start, static_cast<std::size_t>(p - 1 - start));
      if (escaped) escaped_.push_back(fields_.size() - 1);
      if (p < end && *p == delimiter_) {
        ++p;
        continue;
      }
      if (p < end && *p != '\n' && *p != '\r') Fail(line, "unexpected text after a closing quote");
    } else {
      const char* start = p;
      const bool* const endsField = endsField_;
      while (p < end && !endsField[static_cast<unsigned char>(*p)]) ++p;
      if (p == end && !eof_) return Parse::NeedMore;
      fields_.emplace_back(start, static_cast<std::size_t>(p - start));
      if (p < end && *p == delimiter_) {
        ++p;
        continue;
      }
    }
    // End of the row: a line end, or the end of the input.
    if (p < end) {
      if (*p == '\r') {
        if (p + 1 == end && !eof_) return Parse::NeedMore;
        if (p + 1 < end && p[1] == '\n') ++p;
      }
      ++p;
      ++line;
    }
    break;
  }
  begin_ = static_cast<std::size_t>(p - base);
  line_ = line;
  for (std::size_t index : escaped_) Unescape(index);
  return Parse::Row;
}

void CsvReader::Unescape(std::size_t index) {
  // The row is complete and never parsed again, so its bytes may change.
  std::string_view field = fields_[index];
  char* out = buffer_ + (field.data() - buffer_);
  std::size_t length = 0;
  for (std::size_t i = 0; i < field.size(); ++i) {
    out[length++] = field[i];
    if (field[i] == '"') ++i;  // the second quote of a pair
  }
  fields_[index] = std::string_view(out, length);
}

void CsvReader::Fail(long line, const std::string& what) const {
  throw CsvError(sourceName_, line, what);
}

}  // namespace bnscore::internal
