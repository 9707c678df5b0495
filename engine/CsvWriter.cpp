#include "engine/CsvWriter.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "bnscore/FdStreams.h"

namespace bnscore::internal {

CsvWriter::CsvWriter(int fd, std::string destinationName, std::size_t bufferSize)
    : CsvWriter(std::make_unique<FdSink>(fd, destinationName), destinationName, bufferSize) {}

CsvWriter::CsvWriter(std::unique_ptr<bnscore::ByteSink> sink, std::string destinationName,
                     std::size_t bufferSize)
    : CsvWriter(*sink, std::move(destinationName), bufferSize) {
  ownedSink_ = std::move(sink);
}

CsvWriter::CsvWriter(bnscore::ByteSink& sink, std::string destinationName, std::size_t bufferSize)
    : sink_(&sink),
      destinationName_(std::move(destinationName)),
      buffer_(new char[std::max<std::size_t>(bufferSize, 1)]),
      capacity_(std::max<std::size_t>(bufferSize, 1)) {
  SetDelimiter(',');
}

CsvWriter::CsvWriter(std::size_t initialCapacity)
    : sink_(nullptr),
      buffer_(new char[std::max<std::size_t>(initialCapacity, 1)]),
      capacity_(std::max<std::size_t>(initialCapacity, 1)) {
  SetDelimiter(',');
}

CsvWriter::~CsvWriter() {
  try {
    Drain();
  } catch (...) {
    // Reported by Flush, or the run failed already.
  }
}

void CsvWriter::SetDelimiter(char delimiter) {
  needsQuotes_[static_cast<unsigned char>(delimiter_)] = false;
  delimiter_ = delimiter;
  for (char c : {delimiter, '"', '\n', '\r'}) needsQuotes_[static_cast<unsigned char>(c)] = true;
}

bool CsvWriter::NeedsQuotes(std::string_view text) const {
  for (char c : text) {
    if (needsQuotes_[static_cast<unsigned char>(c)]) return true;
  }
  return false;
}

void CsvWriter::WriteRaw(std::string_view bytes) {
  if (sink_ != nullptr && bytes.size() >= std::min(kDirectWriteSize, capacity_ / 2)) {
    // Large enough to go out directly, after what is buffered: a copy
    // through the buffer would cost more than the extra write.
    Flush();
    sink_->Write(bytes.data(), bytes.size());
    return;
  }
  Append(bytes);
}

void CsvWriter::WriteField(std::string_view text) {
  // Most fields need no quotes and fit: copied while looking for a reason
  // to quote, with the separator, in one pass.
  if (text.size() < capacity_ - size_) {
    char* const start = buffer_.get() + size_;
    char* out = start;
    const bool* const needsQuotes = needsQuotes_;
    if (!atRowStart_) *out++ = delimiter_;
    std::size_t i = 0;
    for (; i < text.size(); ++i) {
      const char c = text[i];
      if (needsQuotes[static_cast<unsigned char>(c)]) break;
      *out++ = c;
    }
    if (i == text.size()) {
      size_ += static_cast<std::size_t>(out - start);
      atRowStart_ = false;
      return;
    }
  }
  if (!atRowStart_) Append(delimiter_);
  atRowStart_ = false;
  if (NeedsQuotes(text)) {
    WriteQuoted(text);
  } else {
    Append(text);
  }
}

void CsvWriter::WriteUnquotedField(std::string_view text) {
  if (text.size() >= capacity_ - size_) {
    WriteField(text);
    return;
  }
  char* out = buffer_.get() + size_;
  if (!atRowStart_) *out++ = delimiter_;
  if (!text.empty()) std::memcpy(out, text.data(), text.size());
  size_ = static_cast<std::size_t>(out + text.size() - buffer_.get());
  atRowStart_ = false;
}

void CsvWriter::EndRow() {
  Append('\n');
  atRowStart_ = true;
}

void CsvWriter::Flush() { Drain(); }

void CsvWriter::WriteQuoted(std::string_view text) {
  Append('"');
  std::size_t start = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '"') {
      Append(text.substr(start, i + 1 - start));  // up to and including the quote
      Append('"');
      start = i + 1;
    }
  }
  Append(text.substr(start));
  Append('"');
}

void CsvWriter::MakeRoom() {
  if (sink_ != nullptr) {
    Flush();
    return;
  }
  std::unique_ptr<char[]> bigger(new char[capacity_ * 2]);
  std::memcpy(bigger.get(), buffer_.get(), size_);
  buffer_ = std::move(bigger);
  capacity_ *= 2;
}

void CsvWriter::Append(std::string_view text) {
  while (!text.empty()) {
    if (size_ == capacity_) MakeRoom();
    std::size_t n = std::min(text.size(), capacity_ - size_);
    std::memcpy(buffer_.get() + size_, text.data(), n);
    size_ += n;
    text.remove_prefix(n);
  }
}

void CsvWriter::Append(char c) {
  if (size_ == capacity_) MakeRoom();
  buffer_[size_++] = c;
}

void CsvWriter::Drain() {
  if (sink_ == nullptr) return;  // memory: the bytes stay until Clear
  // The buffer counts as written even when the sink fails, so that the
  // destructor does not write it again.
  const std::size_t size = size_;
  size_ = 0;
  sink_->Write(buffer_.get(), size);
}

}  // namespace bnscore::internal
