#ifndef BNSCORE_ENGINE_CSVBLOCKREADER_H_
#define BNSCORE_ENGINE_CSVBLOCKREADER_H_

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "bnscore/bnscore.h"

namespace bnscore::internal {

// A block of CSV input: bytes[0, size) hold whole rows, and at least
// kPadding more bytes follow them (a JSON parser reads past the end of the
// text it is given). The vector only grows, so that a block reused for
// the next rows allocates nothing.
struct CsvBlock {
  static constexpr std::size_t kPadding = 64;

  std::vector<char> bytes;
  std::size_t size = 0;
};

// Cuts CSV input from a byte source (or a file descriptor) into blocks of whole rows, to be
// parsed elsewhere (by CsvReader::ResetToBlock), possibly out of order.
//
// A block ends just after a row's line end: an LF, a CRLF or a lone CR
// outside quoted fields. Quoting follows CsvReader: a double quote opens a
// quoted field only at the start of a field, a doubled quote inside it
// stands for one quote, and a quoted field may span lines. So every block
// starts at the start of a row and its rows parse as they would in one
// stream. The last block holds whatever is left at the end of the input,
// complete or not, so that faults there are found by the parser.
//
// The input is read straight into the block, up to `blockSize` bytes at a
// time; the block is cut after the last row end in it, and the bytes after
// the cut (the start of a row) begin the next block. A block is larger only
// when one row is: it then ends at that row's end. The source (or file
// descriptor) stays the caller's; what it throws (a read error:
// EngineError) goes through.
class CsvBlockReader {
 public:
  CsvBlockReader(int fd, std::string sourceName, std::size_t blockSize);
  CsvBlockReader(bnscore::ByteSource& source, std::string sourceName, std::size_t blockSize);

  // The byte between fields, as CsvReader::SetDelimiter.
  void SetDelimiter(char delimiter) { delimiter_ = delimiter; }
  // Cuts JSON Lines instead: a row ends at every LF (a JSON string holds
  // no raw line end), whatever the quotes.
  void SetJsonLines(bool jsonLines) { jsonLines_ = jsonLines; }

  // Fills `block` with the next rows; false (and an empty block) at the end
  // of the input.
  bool ReadBlock(CsvBlock& block);

 private:
  enum State { kFieldStart, kUnquoted, kQuoted, kQuoteInQuoted, kAfterCR };

  CsvBlockReader(std::unique_ptr<bnscore::ByteSource> source, std::string sourceName,
                 std::size_t blockSize);

  // Reads into bytes [size, want) of `block`, short only at the end of
  // the input; `block` holds at least `want` bytes and the padding.
  void Fill(CsvBlock& block, std::size_t want);
  // Scans bytes [scanned_, to) of `data`, continuing state_, and moves
  // lastCut_ just past the last row end found there.
  void Scan(const char* data, std::size_t to);
  // Scans one byte at `offset`.
  void Step(char c, std::size_t offset);

  std::unique_ptr<bnscore::ByteSource> ownedSource_;  // for a file descriptor
  bnscore::ByteSource* source_;
  char delimiter_ = ',';
  bool jsonLines_ = false;
  std::string sourceName_;
  std::size_t blockSize_;
  std::vector<char> carry_;  // read after the last cut: the next block's start
  // Offsets in the block being cut.
  std::size_t scanned_ = 0;  // bytes before it have been scanned
  std::size_t lastCut_ = 0;  // just past the last row end scanned (0: none)
  bool eof_ = false;
  bool atStart_ = true;
  State state_ = kFieldStart;  // after the scanned bytes
};

}  // namespace bnscore::internal

#endif  // BNSCORE_ENGINE_CSVBLOCKREADER_H_
