#ifndef BNSCORE_ENGINE_CSVWRITER_H_
#define BNSCORE_ENGINE_CSVWRITER_H_

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

#include "bnscore/bnscore.h"

namespace bnscore::internal {

// Writes CSV rows to a byte sink (or a file descriptor, through an FdSink)
// through one large buffer, or into memory. A field is quoted only when it
// holds the delimiter (a comma unless set), a double quote, a CR or an LF;
// quotes inside it are doubled. Rows end with LF. Nothing is allocated per
// row (in memory, once the buffer has reached its working size).
//
// The sink (or file descriptor) stays the caller's. Flush lets what the
// sink throws go through (a failed write: EngineError, OutputClosed when the
// reader of a pipe went away); the destructor writes what is left and
// ignores failures, so that the rows before a fault elsewhere still reach
// the output.
class CsvWriter {
 public:
  static constexpr std::size_t kDefaultBufferSize = std::size_t{1} << 18;
  // WriteRaw hands bytes at least this long (or half the buffer) to the
  // sink directly.
  static constexpr std::size_t kDirectWriteSize = std::size_t{1} << 16;

  // `destinationName` names the output in messages.
  CsvWriter(int fd, std::string destinationName, std::size_t bufferSize = kDefaultBufferSize);
  CsvWriter(bnscore::ByteSink& sink, std::string destinationName,
            std::size_t bufferSize = kDefaultBufferSize);
  // A writer into memory: the buffer starts with `initialCapacity` bytes,
  // grows as needed, is read with GetBuffered and emptied with Clear.
  explicit CsvWriter(std::size_t initialCapacity);
  ~CsvWriter();

  // The byte between fields: ',' unless set.
  void SetDelimiter(char delimiter);

  // Appends `bytes` as they are: whole rows made by another writer.
  void WriteRaw(std::string_view bytes);
  // What a memory writer holds.
  std::string_view GetBuffered() const { return std::string_view(buffer_.get(), size_); }
  // Empties a memory writer, keeping its buffer.
  void Clear() {
    size_ = 0;
    atRowStart_ = true;
  }

  CsvWriter(const CsvWriter&) = delete;
  CsvWriter& operator=(const CsvWriter&) = delete;

  // Appends one field to the current row.
  void WriteField(std::string_view text);
  // Appends one field known to need no quotes: it holds no delimiter,
  // double quote, CR or LF (a number's text, say).
  void WriteUnquotedField(std::string_view text);
  // Ends the current row.
  void EndRow();
  // Writes out everything buffered; what the sink throws goes through.
  void Flush();

  const std::string& GetDestinationName() const { return destinationName_; }

 private:
  CsvWriter(std::unique_ptr<bnscore::ByteSink> sink, std::string destinationName,
            std::size_t bufferSize);

  void Append(std::string_view text);
  void Append(char c);
  void WriteQuoted(std::string_view text);
  // Makes room for more bytes: writes the buffer out, or grows it in memory.
  void MakeRoom();
  // Writes the buffer out.
  void Drain();

  bool NeedsQuotes(std::string_view text) const;

  std::unique_ptr<bnscore::ByteSink> ownedSink_;  // for a file descriptor
  bnscore::ByteSink* sink_;                       // null for a writer into memory
  char delimiter_ = ',';
  // Per byte: true for the bytes that make a field need quotes (the
  // delimiter, a double quote, CR, LF), so that each byte is tested once.
  bool needsQuotes_[256] = {};
  std::string destinationName_;
  std::unique_ptr<char[]> buffer_;
  std::size_t capacity_;
  std::size_t size_ = 0;
  bool atRowStart_ = true;
};

}  // namespace bnscore::internal

#endif  // BNSCORE_ENGINE_CSVWRITER_H_
