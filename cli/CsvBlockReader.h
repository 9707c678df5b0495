#ifndef BNSCORE_CLI_CSVBLOCKREADER_H_
#define BNSCORE_CLI_CSVBLOCKREADER_H_

#include <cstddef>
#include <string>
#include <vector>

// A block of CSV input: bytes[0, size) hold whole rows. The vector only
// grows, so that a block reused for the next rows allocates nothing.
struct CsvBlock {
  std::vector<char> bytes;
  std::size_t size = 0;
};

// Cuts CSV input from a file descriptor into blocks of whole rows, to be
// parsed elsewhere (by CsvReader::ResetToBlock), possibly out of order.
//
// A block ends just after a row's line end: an LF, a CRLF or a lone CR
// outside quoted fields. Quoting follows CsvReader: a double quote opens a
// quoted field only at the start of a field, a doubled quote inside it
// stands for one quote, and a quoted field may span lines. So every block
// but the first starts at the start of a row and its rows parse as they
// would in one stream. The last block holds whatever is left at the end of
// the input, complete or not, so that faults there are found by the parser.
//
// Reads with read() straight into the block, `blockSize` bytes at a time
// or more; a block holds at least `blockSize` bytes unless the input ends,
// and more only when one row does not fit. The file descriptor stays the
// caller's; a read error throws CliError.
class CsvBlockReader {
 public:
  CsvBlockReader(int fd, std::string sourceName, std::size_t blockSize);

  // Fills `block` with the next rows; false (and an empty block) at the end
  // of the input.
  bool ReadBlock(CsvBlock& block);

 private:
  enum State { kFieldStart, kUnquoted, kQuoted, kQuoteInQuoted, kAfterCR };

  // Reads until `block` holds at least `want` bytes or the input ends.
  void Fill(CsvBlock& block, std::size_t want);
  // Scans data[from, to), continuing state_, and returns the offset just
  // past the last row end found there (0 when there is none).
  std::size_t Scan(const char* data, std::size_t from, std::size_t to);
  // Scans one byte at `offset`; updates `cut` when a row ends before it or
  // with it.
  void Step(char c, std::size_t offset, std::size_t& cut);

  int fd_;
  std::string sourceName_;
  std::size_t blockSize_;
  bool eof_ = false;
  bool atStart_ = true;
  State state_ = kFieldStart;   // after the scanned bytes
  std::vector<char> carry_;     // scanned bytes of a row not yet complete
};

#endif  // BNSCORE_CLI_CSVBLOCKREADER_H_
