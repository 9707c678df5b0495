#include "engine/JsonLinesReader.h"

#include <algorithm>
#include <charconv>
#include <cstring>

#include "engine/CsvReader.h"
#include "engine/EngineError.h"
#include "host/text/NumberText.h"

namespace bnscore::internal {

namespace {

bool IsBlank(const char* text, std::size_t size) {
  for (std::size_t i = 0; i < size; ++i) {
    if (text[i] != ' ' && text[i] != '\t') return false;
  }
  return true;
}

std::string Quoted(std::string_view key) { return "key \"" + std::string(key) + "\""; }

}  // namespace

JsonLinesReader::JsonLinesReader(bnscore::ByteSource& source, std::string sourceName,
                                 std::size_t bufferSize)
    : source_(&source),
      sourceName_(std::move(sourceName)),
      buffer_(new char[std::max<std::size_t>(bufferSize, 1) + simdjson::SIMDJSON_PADDING]),
      capacity_(std::max<std::size_t>(bufferSize, 1)),
      data_(buffer_.get()) {}

JsonLinesReader::JsonLinesReader(std::string sourceName)
    : source_(nullptr), sourceName_(std::move(sourceName)), capacity_(0), data_(nullptr) {
  eof_ = true;
}

void JsonLinesReader::ResetToBlock(const char* data, std::size_t size, long firstLine,
                                   bool atInputStart) {
  data_ = data;
  begin_ = 0;
  end_ = size;
  eof_ = true;
  bomChecked_ = !atInputStart;
  nextLine_ = firstLine;
}

JsonLinesReader::~JsonLinesReader() = default;

void JsonLinesReader::SetColumns(const std::vector<std::string>& columns) {
  columns_ = columns;
  sortedColumns_.clear();
  for (std::size_t i = 0; i < columns_.size(); ++i) sortedColumns_.emplace_back(columns_[i], i);
  std::sort(sortedColumns_.begin(), sortedColumns_.end());
  fields_.assign(columns_.size(), std::string_view());
  numbers_.assign(columns_.size(), 0);
  seen_.assign(columns_.size(), 0);
  numberTexts_.resize(columns_.size());
  columnsSet_ = true;
}

bool JsonLinesReader::ReadRow() {
  std::size_t lineBegin = 0;
  std::size_t lineEnd = 0;
  for (;;) {
    if (!NextLine(lineBegin, lineEnd)) return false;
    if (!IsBlank(data_ + lineBegin, lineEnd - lineBegin)) break;
    if (rejectBlankLines_) Fail("blank line");
    ++blankLines_;
  }
  ParseLine(data_ + lineBegin, lineEnd - lineBegin);
  return true;
}

bool JsonLinesReader::NextLine(std::size_t& lineBegin, std::size_t& lineEnd) {
  std::size_t searched = 0;  // bytes after begin_ known to hold no line end
  for (;;) {
    if (!bomChecked_) {
      if (end_ - begin_ < 3 && !eof_) {
        if (!Refill()) eof_ = true;
        continue;
      }
      if (end_ - begin_ >= 3 && std::memcmp(data_ + begin_, "\xEF\xBB\xBF", 3) == 0) {
        begin_ += 3;
      }
      bomChecked_ = true;
    }
    const char* start = data_ + begin_;
    const void* newline = std::memchr(start + searched, '\n', end_ - begin_ - searched);
    if (newline != nullptr || (eof_ && begin_ < end_)) {
      lineBegin = begin_;
      lineEnd = newline != nullptr
                    ? static_cast<std::size_t>(static_cast<const char*>(newline) - data_)
                    : end_;
      begin_ = newline != nullptr ? lineEnd + 1 : end_;
      if (lineEnd > lineBegin && data_[lineEnd - 1] == '\r') --lineEnd;
      line_ = nextLine_++;
      return true;
    }
    if (eof_) return false;
    searched = end_ - begin_;
    if (!Refill()) eof_ = true;
  }
}

bool JsonLinesReader::Refill() {
  std::memmove(buffer_.get(), buffer_.get() + begin_, end_ - begin_);
  end_ -= begin_;
  begin_ = 0;
  if (end_ == capacity_) {
    const std::size_t capacity = capacity_ * 2;
    std::unique_ptr<char[]> grown(new char[capacity + simdjson::SIMDJSON_PADDING]);
    std::memcpy(grown.get(), buffer_.get(), end_);
    buffer_ = std::move(grown);
    data_ = buffer_.get();
    capacity_ = capacity;
  }
  const std::size_t n = source_->Read(buffer_.get() + end_, capacity_ - end_);
  end_ += n;
  return n > 0;
}

void JsonLinesReader::ParseLine(const char* text, std::size_t size) {
  // The bytes after the line are the buffer's: readable, as simdjson needs.
  simdjson::dom::element document;
  const simdjson::error_code error = parser_.parse(text, size, false).get(document);
  if (error != simdjson::SUCCESS) {
    Fail(std::string("not valid JSON: ") + simdjson::error_message(error));
  }
  simdjson::dom::object object;
  if (document.get_object().get(object) != simdjson::SUCCESS) {
    Fail("the line is not a JSON object");
  }
  if (!columnsSet_) {
    std::vector<std::string> keys;
    for (simdjson::dom::key_value_pair member : object) keys.emplace_back(member.key);
    SetColumns(keys);
  }
  std::fill(seen_.begin(), seen_.end(), 0);
  for (simdjson::dom::key_value_pair member : object) {
    const auto found = std::lower_bound(sortedColumns_.begin(), sortedColumns_.end(), member.key,
                                        [](const std::pair<std::string_view, std::size_t>& entry,
                                           std::string_view key) { return entry.first < key; });
    if (found == sortedColumns_.end() || found->first != member.key) {
      Fail(Quoted(member.key) +
           " is not a column (the columns are the first record's keys, or --columns)");
    }
    const std::size_t column = found->second;
    if (seen_[column] != 0) Fail(Quoted(member.key) + " appears twice");
    seen_[column] = 1;
    SetCell(column, member.value, member.key);
  }
  for (std::size_t column = 0; column < columns_.size(); ++column) {
    if (seen_[column] == 0) {
      fields_[column] = std::string_view();
      numbers_[column] = 0;
    }
  }
}

void JsonLinesReader::SetCell(std::size_t column, simdjson::dom::element value,
                              std::string_view key) {
  numbers_[column] = 0;
  char digits[24];
  switch (value.type()) {
    case simdjson::dom::element_type::STRING:
      fields_[column] = value.get_string().value_unsafe();
      return;
    case simdjson::dom::element_type::NULL_VALUE:
      fields_[column] = std::string_view();
      return;
    case simdjson::dom::element_type::INT64: {
      const auto end =
          std::to_chars(digits, digits + sizeof digits, value.get_int64().value_unsafe());
      numberTexts_[column].assign(digits, end.ptr);
      break;
    }
    case simdjson::dom::element_type::UINT64: {
      const auto end =
          std::to_chars(digits, digits + sizeof digits, value.get_uint64().value_unsafe());
      numberTexts_[column].assign(digits, end.ptr);
      break;
    }
    case simdjson::dom::element_type::DOUBLE: {
      NumberTextBuffer buffer;
      numberTexts_[column] = FormatNumberView(value.get_double().value_unsafe(), buffer);
      break;
    }
    case simdjson::dom::element_type::BOOL:
      Fail(Quoted(key) + ": a boolean is not a field value (a number, a string or null)");
    case simdjson::dom::element_type::ARRAY:
      Fail(Quoted(key) + ": an array is not a field value (a number, a string or null)");
    case simdjson::dom::element_type::OBJECT:
      Fail(Quoted(key) + ": an object is not a field value (a number, a string or null)");
  }
  numbers_[column] = 1;
  fields_[column] = numberTexts_[column];
}

void JsonLinesReader::Fail(const std::string& what) const {
  throw CsvError(sourceName_, line_, what);
}

}  // namespace bnscore::internal
