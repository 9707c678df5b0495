#ifndef BNSCORE_ERRORS_H_
#define BNSCORE_ERRORS_H_

// The exceptions of libbnscore and its front ends: every fault is a
// bnscore::Error, and what() says what went wrong and where. A front end
// that tells faults apart catches the subclasses.

#include <stdexcept>
#include <string>

// What libbnscore exports; everything else in it is hidden.
#ifndef BNSCORE_API
#define BNSCORE_API __attribute__((visibility("default")))
#endif

namespace bnscore {

// A fault of the engine or a front end: a usage fault, a file that cannot be
// read, a plug-in that cannot be loaded, a CSV fault. what() says what and
// where (file, line).
class BNSCORE_API Error : public std::runtime_error {
 public:
  explicit Error(const std::string& message) : std::runtime_error(message) {}
};

// A model document that the host or the plug-in rejected. GetCode() is the
// host's fault code, GetMessage() its message as the host gave it; what()
// is "error CODE: MESSAGE".
class BNSCORE_API ModelError : public Error {
 public:
  ModelError(int code, const std::string& message)
      : Error("error " + std::to_string(code) + ": " + message), code_(code), message_(message) {}
  int GetCode() const noexcept { return code_; }
  const std::string& GetMessage() const noexcept { return message_; }

 private:
  int code_;
  std::string message_;
};

// A file (or standard input or output) that cannot be opened, read or
// written; what() names it and says why ("cannot open in.csv: No such file
// or directory").
class BNSCORE_API FileError : public Error {
 public:
  explicit FileError(const std::string& message) : Error(message) {}
};

// A write failed because the reader of the output went away (a closed
// pipe, EPIPE). Not a fault of the run: front ends end quietly.
class BNSCORE_API OutputClosed : public FileError {
 public:
  explicit OutputClosed(const std::string& message) : FileError(message) {}
};

// A fault in CSV (or JSON Lines) input: the input's name, the line on which
// it was found, the column of the cell at fault ("" when the fault is not
// one cell's) and what is wrong. what() is "SOURCE:LINE: TEXT".
class BNSCORE_API CsvError : public Error {
 public:
  CsvError(const std::string& source, long line, const std::string& text,
           const std::string& column = {})
      : Error(source + ":" + std::to_string(line) + ": " + text),
        source_(source),
        line_(line),
        column_(column),
        text_(text) {}

  const std::string& GetSource() const noexcept { return source_; }
  long GetLine() const noexcept { return line_; }
  const std::string& GetColumn() const noexcept { return column_; }
  const std::string& GetText() const noexcept { return text_; }

 private:
  std::string source_;
  long line_;
  std::string column_;
  std::string text_;
};

// A network document that cannot be converted to another format
// (ConvertNetwork): what() names the document and, when known, the line
// and column ("net.bif:12:5: ...").
class BNSCORE_API ConversionError : public Error {
 public:
  explicit ConversionError(const std::string& message) : Error(message) {}
};

// A cell that cannot become a record value (a number that is not finite
// where those are refused), before its place in the input is known: the
// column and what is wrong. Readers turn it into a CsvError naming the line.
class BNSCORE_API CellError : public Error {
 public:
  CellError(const std::string& column, const std::string& message)
      : Error(message), column_(column) {}
  const std::string& GetColumn() const noexcept { return column_; }

 private:
  std::string column_;
};

}  // namespace bnscore

#endif  // BNSCORE_ERRORS_H_
