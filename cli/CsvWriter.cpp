#include "cli/CsvWriter.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

#include "cli/CliError.h"

namespace {

bool NeedsQuotes(std::string_view text) {
  for (char c : text) {
    if (c == ',' || c == '"' || c == '\n' || c == '\r') return true;
  }
  return false;
}

}  // namespace

CsvWriter::CsvWriter(int fd, std::string destinationName, std::size_t bufferSize)
    : fd_(fd),
      destinationName_(std::move(destinationName)),
      buffer_(new char[std::max<std::size_t>(bufferSize, 1)]),
      capacity_(std::max<std::size_t>(bufferSize, 1)) {}

CsvWriter::~CsvWriter() { Drain(); }

void CsvWriter::WriteField(std::string_view text) {
  if (!atRowStart_) Append(',');
  atRowStart_ = false;
  if (NeedsQuotes(text)) {
    WriteQuoted(text);
  } else {
    Append(text);
  }
}

void CsvWriter::EndRow() {
  Append('\n');
  atRowStart_ = true;
}

void CsvWriter::Flush() {
  if (!Drain()) throw CliError("cannot write " + destinationName_ + ": " + std::strerror(errno));
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

void CsvWriter::Append(std::string_view text) {
  while (!text.empty()) {
    if (size_ == capacity_) Flush();
    std::size_t n = std::min(text.size(), capacity_ - size_);
    std::memcpy(buffer_.get() + size_, text.data(), n);
    size_ += n;
    text.remove_prefix(n);
  }
}

void CsvWriter::Append(char c) {
  if (size_ == capacity_) Flush();
  buffer_[size_++] = c;
}

bool CsvWriter::Drain() {
  std::size_t written = 0;
  while (written < size_) {
    ssize_t n = ::write(fd_, buffer_.get() + written, size_ - written);
    if (n < 0) {
      if (errno == EINTR) continue;
      size_ = 0;
      return false;
    }
    written += static_cast<std::size_t>(n);
  }
  size_ = 0;
  return true;
}
