#include "engine/CsvWriter.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

#include "engine/CliError.h"

CsvWriter::CsvWriter(int fd, std::string destinationName, std::size_t bufferSize)
    : fd_(fd),
      destinationName_(std::move(destinationName)),
      buffer_(new char[std::max<std::size_t>(bufferSize, 1)]),
      capacity_(std::max<std::size_t>(bufferSize, 1)) {
  SetDelimiter(',');
}

CsvWriter::CsvWriter(std::size_t initialCapacity)
    : fd_(-1),
      buffer_(new char[std::max<std::size_t>(initialCapacity, 1)]),
      capacity_(std::max<std::size_t>(initialCapacity, 1)) {
  SetDelimiter(',');
}

CsvWriter::~CsvWriter() { Drain(); }

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
  if (fd_ >= 0 && bytes.size() >= capacity_ / 2) {
    // Large enough to go out directly, after what is buffered.
    Flush();
    if (!WriteAll(bytes.data(), bytes.size())) FailWrite();
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

void CsvWriter::Flush() {
  if (!Drain()) FailWrite();
}

void CsvWriter::FailWrite() const {
  const int error = errno;
  const std::string message = "cannot write " + destinationName_ + ": " + std::strerror(error);
  if (error == EPIPE) throw OutputClosed(message);
  throw CliError(message);
}

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
  if (fd_ >= 0) {
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

bool CsvWriter::Drain() {
  if (fd_ < 0) return true;  // memory: the bytes stay until Clear
  bool written = WriteAll(buffer_.get(), size_);
  size_ = 0;
  return written;
}

bool CsvWriter::WriteAll(const char* data, std::size_t size) {
  std::size_t written = 0;
  while (written < size) {
    ssize_t n = ::write(fd_, data + written, size - written);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    written += static_cast<std::size_t>(n);
  }
  return true;
}
