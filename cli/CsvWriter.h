#ifndef BNSCORE_CLI_CSVWRITER_H_
#define BNSCORE_CLI_CSVWRITER_H_

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

// Writes CSV rows to a file descriptor through one large buffer. A field is
// quoted only when it holds a comma, a double quote, a CR or an LF; quotes
// inside it are doubled. Rows end with LF. Nothing is allocated per row.
//
// The file descriptor stays the caller's. Flush reports a failed write as
// CliError; the destructor writes what is left and ignores failures, so
// that the rows before a fault elsewhere still reach the output.
class CsvWriter {
 public:
  static constexpr std::size_t kDefaultBufferSize = std::size_t{1} << 20;

  // `destinationName` names the output in messages.
  CsvWriter(int fd, std::string destinationName, std::size_t bufferSize = kDefaultBufferSize);
  ~CsvWriter();

  CsvWriter(const CsvWriter&) = delete;
  CsvWriter& operator=(const CsvWriter&) = delete;

  // Appends one field to the current row.
  void WriteField(std::string_view text);
  // Ends the current row.
  void EndRow();
  // Writes out everything buffered. Throws CliError.
  void Flush();

 private:
  void Append(std::string_view text);
  void Append(char c);
  void WriteQuoted(std::string_view text);
  // Writes the buffer out; false (with errno set) on failure.
  bool Drain();

  int fd_;
  std::string destinationName_;
  std::unique_ptr<char[]> buffer_;
  std::size_t capacity_;
  std::size_t size_ = 0;
  bool atRowStart_ = true;
};

#endif  // BNSCORE_CLI_CSVWRITER_H_
