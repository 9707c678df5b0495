#include "engine/CsvReader.h"

#include <unistd.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "engine/EngineError.h"
#include "tests/TestProcess.h"

using namespace bnscore::internal;

namespace {

using Rows = std::vector<std::vector<std::string>>;

// Every row of `text`, read with a buffer of `bufferSize` bytes; the start
// line of each row goes to `lines` when given.
Rows ReadAll(const std::string& text, std::size_t bufferSize = CsvReader::kDefaultBufferSize,
             std::vector<long>* lines = nullptr) {
  const int fd = testprocess::MemoryFile(text);
  Rows rows;
  try {
    CsvReader reader(fd, "in.csv", bufferSize);
    while (reader.ReadRow()) {
      rows.emplace_back(reader.GetFields().begin(), reader.GetFields().end());
      if (lines != nullptr) lines->push_back(reader.GetLine());
    }
  } catch (...) {
    ::close(fd);
    throw;
  }
  ::close(fd);
  return rows;
}

std::string ErrorOf(const std::string& text) {
  try {
    ReadAll(text);
  } catch (const EngineError& e) {
    return e.what();
  }
  return "no error";
}

TEST(CsvReaderTest, QuotedFieldsHoldSeparatorsQuotesAndLineBreaks) {
  std::vector<long> lines;
  Rows rows = ReadAll("a,\"b,c\",\"say \"\"hi\"\"\"\r\n\"two\r\nlines\",\"\",x\r\nlast,,\n",
                      CsvReader::kDefaultBufferSize, &lines);
  EXPECT_EQ(rows, (Rows{{"a", "b,c", "say \"hi\""}, {"two\r\nlines", "", "x"}, {"last", "", ""}}));
  // The second row spans lines 2 and 3.
  EXPECT_EQ(lines, (std::vector<long>{1, 2, 4}));
}

TEST(CsvReaderTest, ByteOrderMarkEmptyLinesAndLastLineWithoutLineEnd) {
  std::vector<long> lines;
  Rows rows = ReadAll("\xEF\xBB\xBFid,v\n\n1,2\r\n\r\n3,4", CsvReader::kDefaultBufferSize, &lines);
  EXPECT_EQ(rows, (Rows{{"id", "v"}, {"1", "2"}, {"3", "4"}}));
  EXPECT_EQ(lines, (std::vector<long>{1, 3, 5}));
  // A lone CR ends a line too; a quote inside an unquoted field is text.
  EXPECT_EQ(ReadAll("a\rb\"c\r"), (Rows{{"a"}, {"b\"c"}}));
  // A byte-order mark later in the input is data.
  EXPECT_EQ(ReadAll("a\n\xEF\xBB\xBF"), (Rows{{"a"}, {"\xEF\xBB\xBF"}}));
  EXPECT_TRUE(ReadAll("").empty());
  EXPECT_TRUE(ReadAll("\xEF\xBB\xBF").empty());
}

TEST(CsvReaderTest, EveryBufferSizeGivesTheSameRows) {
  // Each refill boundary falls somewhere inside: in a BOM, a doubled quote,
  // a CRLF, a quoted line break, a field longer than the buffer.
  const std::string text =
      "\xEF\xBB\xBFname,\"quoted \"\"x\"\"\",n\r\n"
      "\"multi\nline, field\",,123456789012345678901234567890\r\n"
      "\n"
      "tail,\"\"\"\",\"end\"";
  std::vector<long> expectedLines;
  const Rows expected = ReadAll(text, CsvReader::kDefaultBufferSize, &expectedLines);
  ASSERT_EQ(expected, (Rows{{"name", "quoted \"x\"", "n"},
                            {"multi\nline, field", "", "123456789012345678901234567890"},
                            {"tail", "\"", "end"}}));
  EXPECT_EQ(expectedLines, (std::vector<long>{1, 2, 5}));
  for (std::size_t size = 1; size <= text.size() + 1; ++size) {
    std::vector<long> lines;
    EXPECT_EQ(ReadAll(text, size, &lines), expected) << "buffer size " << size;
    EXPECT_EQ(lines, expectedLines) << "buffer size " << size;
  }
}

TEST(CsvReaderTest, FaultsNameTheSourceAndTheLine) {
  EXPECT_EQ(ErrorOf("a,b\n1,\"open\nstill open\n"),
            "in.csv:2: quoted field is not closed before the end of the input");
  EXPECT_EQ(ErrorOf("a,b\n\n\"x\"y,2\n"), "in.csv:3: unexpected text after a closing quote");
  EXPECT_EQ(ErrorOf("\"a\nb\" c\n"), "in.csv:2: unexpected text after a closing quote");
}

}  // namespace
