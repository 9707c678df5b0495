#ifndef BNSCORE_ENGINE_CSVREADER_H_
#define BNSCORE_ENGINE_CSVREADER_H_

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "bnscore/bnscore.h"
#include "engine/EngineError.h"

namespace bnscore::internal {

// A fault in CSV text: the public bnscore::CsvError.
using bnscore::CsvError;

// A streaming reader of RFC 4180 CSV from a byte source (or a file
// descriptor, read through an FdSource).
//
// Fields are separated by commas (or another delimiter) and rows end at LF, CRLF or a lone CR. A
// field that starts with a double quote runs to the matching closing quote
// and may hold commas, line breaks and doubled quotes (which stand for one
// quote). A UTF-8 byte-order mark at the very start is skipped, and so are
// empty lines (counted; or refused, see SetRejectBlankLines). The last row
// needs no line end. A quote inside an unquoted
// field is taken literally.
//
// The input is read in large blocks into one buffer that grows only when a
// single row does not fit. The fields of the current row are views into
// that buffer, valid until the next ReadRow; once the buffer and the field
// list have reached their working size, reading allocates nothing.
//
// A reader can also parse a block of complete rows that is already in
// memory (ResetToBlock); the block stays the caller's, and the reader
// rewrites the bytes of quoted fields that hold doubled quotes.
//
// The source (or file descriptor) stays the caller's. Faults (an unterminated quoted
// field, text after a closing quote) throw CsvError with a message that
// names the source and the line; what the source throws (a read error:
// EngineError) goes through.
class CsvReader {
 public:
  static constexpr std::size_t kDefaultBufferSize = std::size_t{1} << 18;

  // `sourceName` names the input in messages.
  CsvReader(int fd, std::string sourceName, std::size_t bufferSize = kDefaultBufferSize);
  CsvReader(bnscore::ByteSource& source, std::string sourceName,
            std::size_t bufferSize = kDefaultBufferSize);
  // A reader of in-memory blocks only; see ResetToBlock.
  explicit CsvReader(std::string sourceName);
  ~CsvReader();

  // Makes the reader parse the `size` bytes at `data` (and nothing more),
  // whose first byte is on line `firstLine`; a UTF-8 byte-order mark there
  // is skipped only when `atInputStart`. `data` must stay valid while the
  // block is read.
  void ResetToBlock(char* data, std::size_t size, long firstLine, bool atInputStart);
  // The bytes of the block not yet read: what follows the current row.
  std::size_t GetUnreadOffset() const { return begin_; }
  // The line of the first byte not yet read.
  long GetNextLine() const { return line_; }

  CsvReader(const CsvReader&) = delete;
  CsvReader& operator=(const CsvReader&) = delete;

  // The byte between fields: ',' unless set (not a quote, CR or LF).
  void SetDelimiter(char delimiter);
  // When `reject`, an empty line is a CsvError ("blank line") instead of
  // being skipped.
  void SetRejectBlankLines(bool reject) { rejectBlankLines_ = reject; }
  // The empty lines skipped so far, over every block read.
  long GetBlankLines() const { return blankLines_; }

  // Reads the next row; false at the end of the input.
  bool ReadRow();

  const std::vector<std::string_view>& GetFields() const { return fields_; }
  std::size_t GetNumFields() const { return fields_.size(); }
  // The line on which the current row starts, counting from 1.
  long GetLine() const { return rowLine_; }
  const std::string& GetSourceName() const { return sourceName_; }

 private:
  enum class Parse { Row, NeedMore, End };

  CsvReader(std::unique_ptr<bnscore::ByteSource> source, std::string sourceName,
            std::size_t bufferSize);

  // Parses one row from the buffered bytes; NeedMore when they end before
  // the row does and more input may follow.
  Parse ParseRow();
  // Moves the unparsed bytes to the front of the buffer (growing it when
  // they fill it) and reads more; false when the input is exhausted.
  bool Refill();
  void SkipByteOrderMark();
  // Replaces each doubled quote of field `index` by one quote, in place.
  void Unescape(std::size_t index);
  [[noreturn]] void Fail(long line, const std::string& what) const;

  std::unique_ptr<bnscore::ByteSource> ownedSource_;  // for a file descriptor
  bnscore::ByteSource* source_;                       // null when reading in-memory blocks
  char delimiter_ = ',';
  // Per byte: true for the bytes that end an unquoted field (the delimiter,
  // CR, LF), so that scanning a field tests each byte once.
  bool endsField_[256] = {};
  bool rejectBlankLines_ = false;
  long blankLines_ = 0;
  std::string sourceName_;
  std::unique_ptr<char[]> owned_;  // the buffer when reading from source_
  char* buffer_;                   // owned_, or the caller's block
  std::size_t capacity_;
  std::size_t begin_ = 0;  // first byte not yet parsed
  std::size_t end_ = 0;    // one past the last byte read
  bool eof_ = false;
  bool bomChecked_ = false;
  long line_ = 1;  // line of the byte at begin_
  long rowLine_ = 0;
  std::vector<std::string_view> fields_;
  std::vector<std::size_t> escaped_;  // fields holding doubled quotes
};

}  // namespace bnscore::internal

#endif  // BNSCORE_ENGINE_CSVREADER_H_
