#ifndef BNSCORE_ENGINE_JSONLINESREADER_H_
#define BNSCORE_ENGINE_JSONLINESREADER_H_

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <simdjson.h>

#include "bnscore/bnscore.h"

namespace bnscore::internal {

// A streaming reader of JSON Lines records from a ByteSource: one JSON
// object per line, whose members map field names to a number, a string or
// null. Each record becomes one cell per column, like a CSV row:
//   - a string: its text, unescaped;
//   - a number: its text (integers as written, other numbers with the
//     shortest digits that read back to the same double);
//   - null, or a column the object lacks: the empty cell (a missing value).
//
// The columns are those given by SetColumns or else the keys of the first
// record, in its order; that first record is a record too (there is no
// header line). A key that is not a column, a key given twice, a value that
// is an array, an object or a boolean, a line that is not one JSON object:
// each throws CsvError naming the source, the line and the key. Lines end at
// LF (a CR before it is dropped); lines holding only blanks are skipped and
// counted, or refused (SetRejectBlankLines); a UTF-8 byte-order mark at the
// very start is skipped.
//
// A reader made without a source reads blocks of whole lines in memory
// instead (ResetToBlock), as the blocks of a CsvBlockReader cutting JSON
// Lines; the block stays the caller's.
//
// Cells are views into the reader's buffers, valid until the next ReadRow.
// The input is read in large blocks into one buffer that grows only when a
// line does not fit; once it and the per-column texts have reached their
// working size, reading allocates nothing. The source stays the caller's
// and must outlive the reader; what its Read throws goes through.
class JsonLinesReader {
 public:
  static constexpr std::size_t kDefaultBufferSize = std::size_t{1} << 20;

  JsonLinesReader(bnscore::ByteSource& source, std::string sourceName,
                  std::size_t bufferSize = kDefaultBufferSize);
  // A reader of in-memory blocks only; see ResetToBlock.
  explicit JsonLinesReader(std::string sourceName);
  ~JsonLinesReader();

  JsonLinesReader(const JsonLinesReader&) = delete;
  JsonLinesReader& operator=(const JsonLinesReader&) = delete;

  // Reads the lines of data[0, size) next, the first of them line
  // `firstLine`; at least simdjson::SIMDJSON_PADDING readable bytes must
  // follow them. `atInputStart`: the block starts the input (a byte-order
  // mark is skipped). The columns, the blank lines counted and the line
  // of the last record read stay.
  void ResetToBlock(const char* data, std::size_t size, long firstLine, bool atInputStart);
  // The offset in the block of the first byte not read, and the line it
  // starts.
  std::size_t GetUnreadOffset() const { return begin_; }
  long GetNextLine() const { return nextLine_; }

  // Fixes the columns before the first ReadRow.
  void SetColumns(const std::vector<std::string>& columns);
  void SetRejectBlankLines(bool reject) { rejectBlankLines_ = reject; }

  // Reads the next record; false at the end of the input. Throws CsvError
  // for a faulty line; what the source throws goes through.
  bool ReadRow();

  const std::vector<std::string>& GetColumns() const { return columns_; }
  const std::vector<std::string_view>& GetFields() const { return fields_; }
  // Per column: 1 when the current record's value is a JSON number.
  const std::vector<char>& GetNumberCells() const { return numbers_; }
  long GetLine() const { return line_; }
  long GetBlankLines() const { return blankLines_; }
  const std::string& GetSourceName() const { return sourceName_; }

 private:
  // Sets [lineBegin, lineEnd) to the next line, reading more input as
  // needed; false at the end of the input.
  bool NextLine(std::size_t& lineBegin, std::size_t& lineEnd);
  // Moves the unread bytes to the front (growing the buffer when they fill
  // it) and reads more; false at the end of the input.
  bool Refill();
  void ParseLine(const char* text, std::size_t size);
  void SetCell(std::size_t column, simdjson::dom::element value, std::string_view key);
  [[noreturn]] void Fail(const std::string& what) const;

  bnscore::ByteSource* source_;  // null: blocks only
  std::string sourceName_;
  bool rejectBlankLines_ = false;
  long blankLines_ = 0;
  std::unique_ptr<char[]> buffer_;  // capacity_ bytes and simdjson's padding
  std::size_t capacity_;
  const char* data_;       // the bytes read: buffer_'s, or a block's
  std::size_t begin_ = 0;  // first byte not yet read
  std::size_t end_ = 0;    // one past the last byte in the buffer
  bool eof_ = false;
  bool bomChecked_ = false;
  long line_ = 0;      // the current record's line
  long nextLine_ = 1;  // the line at begin_

  simdjson::dom::parser parser_;
  std::vector<std::string> columns_;
  bool columnsSet_ = false;
  // The columns by name, for lookups by key without allocation.
  std::vector<std::pair<std::string_view, std::size_t>> sortedColumns_;
  std::vector<std::string_view> fields_;
  std::vector<char> numbers_;             // per column: the value is a number
  std::vector<char> seen_;                // per column: set by the current line
  std::vector<std::string> numberTexts_;  // per column: a number's text
};

}  // namespace bnscore::internal

#endif  // BNSCORE_ENGINE_JSONLINESREADER_H_
