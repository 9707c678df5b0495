#include "engine/CsvBlockReader.h"

#include <unistd.h>

#include <string>
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

// Cut into blocks, each parsed on its own with lines counted from 1, as
// the scorer's workers do, and the lines made absolute afterwards.
Parsed InBlocks(const std::string& text, std::size_t blockSize) {
  const int fd = testprocess::MemoryFile(text);
  Parsed parsed;
  CsvBlockReader blocks(fd, "in.csv", blockSize);
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
