// Hostile CSV records through `bnscore score` with the CLI tests' network
// (tests/data/cli_network.pmml: see tests/cli/BnscoreTest.cpp for the
// numbers): a cell of megabytes, 100,000 columns, NUL bytes, invalid UTF-8,
// an unterminated quote after a large cell, input without a header. Each
// gives the correct result or a clear error with its line, within a
// bounded peak memory. The big inputs are written to temporary files here.

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/TestProcess.h"
#include "tests/cli/BnscoreProcess.h"

namespace {

using cli_network::kBad;
using cli_network::kGood;
using cli_network::kHeader;
using cli_network::kMissing;
using cli_network::kModel;
using testprocess::Outcome;
using testprocess::TempPath;

// Generous: bnscore reads a row into one buffer; a few copies of a 5 MB
// row, the program and the sanitizers' overhead stay far below it.
constexpr long kMemoryBoundKb = 200 * 1024;

// A temporary CSV file holding `text`, removed with the object.
class CsvFile {
 public:
  CsvFile(const std::string& name, const std::string& text) : path_(TempPath(name)) {
    std::ofstream(path_, std::ios::binary) << text;
  }
  ~CsvFile() { std::remove(path_.c_str()); }
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
};

Outcome Score(const CsvFile& records, std::vector<std::string> options = {}) {
  std::vector<std::string> args{"score"};
  args.insert(args.end(), options.begin(), options.end());
  args.push_back(kModel);
  args.push_back(records.Path());
  return RunBnscore(args);
}

TEST(HostileRecords, CellOfMegabytes) {
  // 5.2 MB in one quoted cell, full of separators and line breaks.
  std::string cell;
  for (int i = 0; i < 1300000; ++i) cell += "a,\n\"\"";
  CsvFile records("hostile_big_cell.csv", "id,x,n,note\n1,u,5,\"" + cell + "\"\n2,v,15,x\n");
  Outcome run = Score(records);
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, kHeader + kGood + kBad);
  EXPECT_EQ(run.err, "bnscore: scored 2 records: 2 with status 0\n");
  EXPECT_LT(run.peakRssKb, kMemoryBoundKb);

  // The same cell never closed: the error names the line it starts on.
  CsvFile open("hostile_open_cell.csv", "id,x,n,note\n1,u,5,x\n2,v,15,\"" + cell);
  run = Score(open);
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, "bnscore: " + open.Path() +
                         ":3: quoted field is not closed before the end of the input\n");
  EXPECT_EQ(run.out, kHeader + kGood);
  EXPECT_LT(run.peakRssKb, kMemoryBoundKb);
}

TEST(HostileRecords, HundredThousandColumns) {
  // The model's fields come last, after 99,998 others.
  std::string header;
  std::string row;
  for (int i = 0; i < 99998; ++i) {
    header += "c" + std::to_string(i) + ",";
    row += "v,";
  }
  CsvFile records("hostile_columns.csv", header + "x,n\n" + row + "u,5\n" + row + "v,15\n");
  for (const std::vector<std::string>& options :
       {std::vector<std::string>{}, std::vector<std::string>{"--by-name"}}) {
    Outcome run = Score(records, options);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, kHeader + kGood + kBad);
    EXPECT_LT(run.peakRssKb, kMemoryBoundKb);
  }
}

TEST(HostileRecords, NulBytesAndInvalidUtf8AreDataLikeAnyOther) {
  using namespace std::string_literals;
  // A NUL or a stray byte makes a category unknown or a number unreadable;
  // in a column the model does not use, it changes nothing. --keep-input
  // copies every byte back unchanged.
  const std::string text =
      "id,x,n,note\n"
      "1,u,5,a\0b\xff\n"s
      "2,u\0,5,\n"s
      "3,u,5\0,\n"s
      "4,\xc3\x28,15,\n"
      "5,v,15,\xed\xa0\x80\xf8\x88\x80\x80\x80\n";
  CsvFile records("hostile_bytes.csv", text);
  Outcome run = Score(records);
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, kHeader + kGood + kMissing + kMissing + kMissing + kBad);
  run = Score(records, {"--keep-input", "--prediction-only"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out,
            "id,x,n,note,status,prediction\n"
            "1,u,5,a\0b\xff,0,good\n"s
            "2,u\0,5,,90029,\n"s
            "3,u,5\0,,90029,\n"s
            "4,\xc3\x28,15,,90029,\n"
            "5,v,15,\xed\xa0\x80\xf8\x88\x80\x80\x80,0,\"bad, \"\"really\"\"\"\n");
}

TEST(HostileRecords, InputWithoutAHeaderRow) {
  // (The empty file and the header-only file: tests/cli.)
  for (const std::string& text : {std::string("\xef\xbb\xbf"), std::string("\n\r\n\r\r\n\n")}) {
    CsvFile records("hostile_no_header.csv", text);
    Outcome run = Score(records);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "bnscore: " + records.Path() + ": no header row: the input is empty\n");
    EXPECT_EQ(run.out, "");
  }
}

}  // namespace
