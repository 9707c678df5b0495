#include "engine/JsonLinesReader.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "engine/CsvReader.h"

using namespace bnscore::internal;

namespace {

// Each record as "line:cell|cell|..." with a '#' after number cells.
std::vector<std::string> ReadAll(const std::string& text, std::size_t bufferSize,
                                 long* blankLines = nullptr) {
  bnscore::TextSource source(text);
  JsonLinesReader reader(source, "in.jsonl", bufferSize);
  std::vector<std::string> records;
  while (reader.ReadRow()) {
    std::string record = std::to_string(reader.GetLine()) + ":";
    for (std::size_t i = 0; i < reader.GetFields().size(); ++i) {
      record += (i > 0 ? "|" : "") + std::string(reader.GetFields()[i]);
      if (reader.GetNumberCells()[i] != 0) record += '#';
    }
    records.push_back(record);
  }
  if (blankLines != nullptr) *blankLines = reader.GetBlankLines();
  return records;
}

std::string FaultOf(const std::string& text) {
  try {
    ReadAll(text, 5);
  } catch (const CsvError& e) {
    return e.what();
  }
  return "no fault";
}

TEST(JsonLinesReaderTest, ReadsValuesAsCellsWhateverTheBufferSize) {
  const std::string text =
      "\xEF\xBB\xBF{\"a\": \"x\\\"y\\u00e9\\n\", \"b\": 12, \"c\": null}\r\n"
      "\n"
      "  \r\n"
      "{\"c\": -1.5e3, \"a\": \"\"}\n"
      "{\"b\": 18446744073709551615, \"c\": 0.1}";  // no line end at the end
  const std::vector<std::string> expected = {
      "1:x\"y\xC3\xA9\n|12#|",
      "4:||-1500#",  // b absent: empty; numbers with the shortest digits
      "5:|18446744073709551615#|0.1#",
  };
  for (std::size_t bufferSize : {1, 3, 7, 64, 1 << 20}) {
    long blankLines = 0;
    EXPECT_EQ(ReadAll(text, bufferSize, &blankLines), expected) << "buffer " << bufferSize;
    EXPECT_EQ(blankLines, 2);
  }
}

TEST(JsonLinesReaderTest, FaultsNameTheLineAndTheKey) {
  const std::string first = "{\"a\": 1, \"b\": \"u\"}\n";
  EXPECT_EQ(FaultOf(first + "{\"a\": 1, \"z\": 2}\n"),
            "in.jsonl:2: key \"z\" is not a column (the columns are the first record's keys, "
            "or --columns)");
  EXPECT_EQ(FaultOf(first + "{\"a\": 1, \"a\": 2}\n"), "in.jsonl:2: key \"a\" appears twice");
  EXPECT_EQ(FaultOf(first + "\n{\"b\": true}\n"),
            "in.jsonl:3: key \"b\": a boolean is not a field value (a number, a string or null)");
  EXPECT_EQ(FaultOf(first + "{\"b\": [1]}"),
            "in.jsonl:2: key \"b\": an array is not a field value (a number, a string or null)");
  EXPECT_EQ(FaultOf(first + "{\"b\": {}}"),
            "in.jsonl:2: key \"b\": an object is not a field value (a number, a string or null)");
  EXPECT_EQ(FaultOf("[1, 2]\n"), "in.jsonl:1: the line is not a JSON object");
  EXPECT_EQ(FaultOf(first + "{\"a\": 1} {\"a\": 2}\n").rfind("in.jsonl:2: not valid JSON: ", 0),
            0u);
  EXPECT_EQ(FaultOf(first + "{\"a\": 1e999}\n").rfind("in.jsonl:2: not valid JSON: ", 0), 0u);
}

TEST(JsonLinesReaderTest, GivenColumnsReplaceTheFirstRecordsKeys) {
  bnscore::TextSource source("{\"b\": \"u\"}\n{\"a\": 2}\n");
  JsonLinesReader reader(source, "in.jsonl");
  reader.SetColumns({"a", "b"});
  ASSERT_TRUE(reader.ReadRow());
  EXPECT_EQ(reader.GetFields(), (std::vector<std::string_view>{"", "u"}));
  ASSERT_TRUE(reader.ReadRow());
  EXPECT_EQ(reader.GetFields(), (std::vector<std::string_view>{"2", ""}));
  EXPECT_FALSE(reader.ReadRow());
}

}  // namespace
