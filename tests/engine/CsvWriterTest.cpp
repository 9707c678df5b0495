#include "engine/CsvWriter.h"

#include <unistd.h>

#include <string>

#include <gtest/gtest.h>

#include "tests/TestProcess.h"

using namespace bnscore::internal;

namespace {

// What a writer with a buffer of `bufferSize` bytes puts in a file for
// rows of fields that need quoting and fields that do not.
std::string WriteSample(std::size_t bufferSize) {
  const int fd = testprocess::MemoryFile("");
  {
    CsvWriter writer(fd, "out.csv", bufferSize);
    writer.WriteField("plain");
    writer.WriteField("a,b");
    writer.WriteField("say \"hi\"");
    writer.WriteField("");
    writer.EndRow();
    writer.WriteField("cr\r");
    writer.WriteField("lf\n");
    writer.WriteField("\"");
    writer.EndRow();
    writer.Flush();
  }
  std::string out(4096, '\0');
  ssize_t n = ::pread(fd, out.data(), out.size(), 0);
  ::close(fd);
  out.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
  return out;
}

TEST(CsvWriterTest, QuotesOnlyFieldsThatNeedIt) {
  const std::string expected = "plain,\"a,b\",\"say \"\"hi\"\"\",\n\"cr\r\",\"lf\n\",\"\"\"\"\n";
  EXPECT_EQ(WriteSample(CsvWriter::kDefaultBufferSize), expected);
  // A buffer smaller than a field flushes in the middle of it.
  EXPECT_EQ(WriteSample(3), expected);
}

}  // namespace
