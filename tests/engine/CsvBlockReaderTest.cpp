#include "engine/CsvBlockReader.h"

#include <unistd.h>

#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "engine/CsvReader.h"
#include "tests/TestProcess.h"

using namespace bnscore::internal;

namespace {

// The rows of a text, each with its start line, and the fault that ended
// the reading ("" when none).
struct Parsed {
  std::vector<std::vector<std::string>> rows;
  std::vector<long> lines;
  std::string fault;
};

Parsed Stream(const std::string& text) {
  const int fd = testprocess::MemoryFile(text);
  Parsed parsed;
  try {
    CsvReader reader(fd, "in.csv");
    while (reader.ReadRow()) {
      parsed.rows.emplace_back(reader.GetFields().begin(), reader.GetFields().end());
      parsed.lines.push_back(reader.GetLine());
    }
  } catch (const CsvError& e) {
    parsed.fault = e.what();
  }
  ::close(fd);
  return parsed;
}

// A source that hands out at most three bytes a read, as a pipe may.
class TrickleSource : public bnscore::ByteSource {
 public:
  explicit TrickleSource(std::string_view text) : rest_(text) {}
  std::size_t Read(char* buffer, std::size_t size) override {
    const std::size_t n = rest_.copy(buffer, std::min<std::size_t>(size, 3));
    rest_.remove_prefix(n);
    return n;
  }

 private:
  std::string_view rest_;
};

// Cut into blocks, each parsed on its own with lines counted from 1, as
// the scorer's workers do, and the lines made absolute afterwards. Read
// from a file, or in short reads with `trickle`.
Parsed InBlocks(const std::string& text, std::size_t blockSize, bool trickle = false) {
  const int fd = testprocess::MemoryFile(text);
  TrickleSource source(text);
  Parsed parsed;
  CsvBlockReader blocks = trickle ? CsvBlockReader(source, "in.csv", blockSize)
                                  : CsvBlockReader(fd, "in.csv", blockSize);
  CsvReader reader("in.csv");
  CsvBlock block;
  long start = 1;
  bool first = true;
  while (parsed.fault.empty() && blocks.ReadBlock(block)) {
    reader.ResetToBlock(block.bytes.data(), block.size, 1, first);
    first = false;
    try {
      while (reader.ReadRow()) {
        parsed.rows.emplace_back(reader.GetFields().begin(), reader.GetFields().end());
        parsed.lines.push_back(start + reader.GetLine() - 1);
      }
      start += reader.GetNextLine() - 1;
    } catch (const CsvError& e) {
      parsed.fault = CsvError("in.csv", start + e.GetLine() - 1, e.GetText()).what();
    }
  }
  ::close(fd);
  return parsed;
}

TEST(CsvBlockReaderTest, BlocksOfEverySizeParseLikeOneStream) {
  // Block ends fall inside a BOM before a quoted field, doubled quotes, a
  // CRLF, quoted line breaks, a lone CR before a quote, a quote that is
  // text because it is not at the start of a field, and faults.
  const std::vector<std::string> texts = {
      "\xEF\xBB\xBF\"q,1\",n\r\n\"multi\nline, \"\"field\"\"\",2\r\n\n\r\ntail,\"\"\"\"",
      "a,b\"\n\"c\rd\",e\rf,\"g\"\r\"h\"\"\",i\n", "a,b\n1,\"open\nstill open\n",
      "a,b\n1,2\n\"x\"y,2\n3,4\n"};
  for (const std::string& text : texts) {
    const Parsed expected = Stream(text);
    ASSERT_FALSE(expected.rows.empty());
    for (std::size_t size = 1; size <= text.size() + 1; ++size) {
      Parsed blocks = InBlocks(text, size);
      EXPECT_EQ(blocks.rows, expected.rows) << "block size " << size << " of " << text;
      EXPECT_EQ(blocks.lines, expected.lines) << "block size " << size << " of " << text;
      EXPECT_EQ(blocks.fault, expected.fault) << "block size " << size << " of " << text;
      blocks = InBlocks(text, size, true);
      EXPECT_EQ(blocks.rows, expected.rows) << "short reads, block size " << size;
      EXPECT_EQ(blocks.lines, expected.lines) << "short reads, block size " << size;
    }
  }
  for (int i : {2, 3}) EXPECT_FALSE(Stream(texts[i]).fault.empty());  // texts: CsvReaderTest
}

TEST(CsvBlockReaderTest, BlocksEndAfterWholeRows) {
  const int fd = testprocess::MemoryFile("ab,\"c\nd\"\r\nef\n");
  CsvBlockReader blocks(fd, "in.csv", 4);
  CsvBlock block;
  std::vector<std::string> cut;
  while (blocks.ReadBlock(block)) cut.emplace_back(block.bytes.data(), block.size);
  EXPECT_EQ(cut, (std::vector<std::string>{"ab,\"c\nd\"\r\n", "ef\n"}));
  ::close(fd);
}

}  // namespace
