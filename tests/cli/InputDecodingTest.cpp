// Input that is not plain UTF-8 text: gzip is read as the text it holds
// (from a file or a pipe), UTF-16 and binary input are refused with what
// they look like; and runs where records go unscored (the diagnosis when
// none is, --strict).

#include <cstdio>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/TestProcess.h"
#include "tests/cli/BnscoreProcess.h"

namespace {

using testprocess::Outcome;
using testprocess::ReadFile;
using testprocess::WriteTempFile;

const std::string kCases = BNSCORE_TEST_DATA "/cli_cases.csv";
const std::string kCasesSummary =
    "bnscore: scored 6 records: 2 with status 0, 1 with status 90021, 3 with status 90029\n";

// bnscore with `args` after a shell's `command |`, so that its standard
// input is a pipe.
Outcome RunPiped(const std::string& command, const std::vector<std::string>& args) {
  ::setenv("BNSCORE_PLUGIN", BNSCORE_LIB_DIR "/libbayesnet.so", 1);
  std::vector<std::string> shell = {"-c", command + " | \"$0\" \"$@\"", BNSCORE_BIN_DIR "/bnscore"};
  shell.insert(shell.end(), args.begin(), args.end());
  return testprocess::Run("/bin/sh", shell);
}

// `text` compressed by the system's gzip: an oracle apart from zlib's use here.
std::string Gzip(const std::string& name, const std::string& text) {
  const std::string plain = WriteTempFile(name, text);
  EXPECT_EQ(std::system(("gzip -n -f '" + plain + "'").c_str()), 0);
  return plain + ".gz";
}

TEST(InputDecodingTest, GzipIsReadAsItsText) {
  const Outcome plain = RunBnscore({"score", cli_network::kModel, kCases});
  ASSERT_EQ(plain.status, 0);
  const std::string gz = Gzip("decoding_cases.csv", ReadFile(kCases));
  for (const Outcome& run : {RunBnscore({"score", cli_network::kModel, gz}),
                             RunBnscore({"score", cli_network::kModel}, gz),
                             RunPiped("cat '" + gz + "'", {"score", cli_network::kModel})}) {
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, plain.out);
    EXPECT_EQ(run.err, kCasesSummary);
  }
  // Two members, as `cat a.gz b.gz` makes: one text; evaluate reads it too.
  const std::string rows = Gzip("decoding_rows.csv", "7,u,5,more\n");
  const std::string joined = WriteTempFile("decoding_joined.csv.gz", ReadFile(gz) + ReadFile(rows));
  Outcome run = RunBnscore({"score", cli_network::kModel, joined});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, plain.out + cli_network::kGood);
  run = RunBnscore({"evaluate", "--label", "x", cli_network::kModel, joined});
  EXPECT_EQ(run.status, 0) << run.err;

  // Cut short, or corrupt: exit 1 naming the fault, the -o file untouched.
  const std::string compressed = ReadFile(gz);
  const std::string cut = WriteTempFile("decoding_cut.csv.gz", compressed.substr(0, 40));
  std::string flipped = compressed;
  for (std::size_t i = 12; i < 30; ++i) flipped[i] = static_cast<char>(~flipped[i]);
  const std::string corrupt = WriteTempFile("decoding_corrupt.csv.gz", flipped);
  const std::string out = WriteTempFile("decoding_out.csv", "old\n");
  run = RunBnscore({"score", "-o", out, cli_network::kModel, cut});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, "bnscore: " + cut + ": the gzip data ends early (the file is cut short)\n");
  run = RunBnscore({"score", "--threads", "1", "-o", out, cli_network::kModel, corrupt});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err.rfind("bnscore: " + corrupt + ": the gzip data is corrupt (", 0), 0u)
      << run.err;
  EXPECT_EQ(ReadFile(out), "old\n");
  for (const std::string& path : {gz, rows, joined, cut, corrupt, out}) std::remove(path.c_str());
}

TEST(InputDecodingTest, TextThatIsNotUtf8AndBinaryInputAreRefused) {
  std::string utf16le;
  for (char c : ReadFile(kCases)) utf16le += std::string{c, '\0'};
  std::string utf16be;
  for (char c : ReadFile(kCases)) utf16be += std::string{'\0', c};
  struct Case {
    std::string name, bytes, seen;
  };
  const Case cases[] = {
      {"bom16le.csv", "\xff\xfe" + utf16le,
       "looks like UTF-16 text (byte-order mark FF FE); convert it to UTF-8"},
      {"bom16be.csv", "\xfe\xff" + utf16be,
       "looks like UTF-16 text (byte-order mark FE FF); convert it to UTF-8"},
      {"utf16le.csv", utf16le,
       "looks like UTF-16 text without a byte-order mark (little-endian); convert it to UTF-8"},
      {"workbook.xlsx", std::string("PK\x03\x04\x14\x00\x06\x00", 8),
       "looks like a zip archive (an .xlsx workbook is one); unzip it, or save the sheet as CSV"},
      {"nuls.csv", std::string("id,x\n1,\0\0\0\0u\n", 13),
       "looks like binary data, not text (4 NUL bytes in the first 13)"},
  };
  for (const Case& c : cases) {
    const std::string path = WriteTempFile("decoding_" + c.name, c.bytes);
    Outcome run = RunBnscore({"score", cli_network::kModel, path});
    EXPECT_EQ(run.status, 1) << c.name;
    EXPECT_EQ(run.err, "bnscore: " + path + ": " + c.seen + "\n");
    EXPECT_EQ(run.out, "");
    run = RunPiped("cat '" + path + "'", {"evaluate", cli_network::kModel, "-"});
    EXPECT_EQ(run.status, 1) << c.name;
    EXPECT_EQ(run.err, "bnscore: stdin: " + c.seen + "\n");
    std::remove(path.c_str());
  }
  // Compressed UTF-16 says so after decompressing.
  const std::string gz = Gzip("decoding_utf16.csv", "\xff\xfe" + utf16le);
  const Outcome run = RunBnscore({"score", cli_network::kModel, gz});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, "bnscore: " + gz +
                         ": decompressed, it looks like UTF-16 text (byte-order mark FF FE); "
                         "convert it to UTF-8\n");
  std::remove(gz.c_str());
}

TEST(InputDecodingTest, ModelFilesMayBeCompressedButNotBinary) {
  const std::string gz = Gzip("decoding_model.pmml", ReadFile(cli_network::kModel));
  for (const std::string command : {"score", "check", "graph"}) {
    std::vector<std::string> plainArgs = {command, cli_network::kModel};
    std::vector<std::string> gzArgs = {command, gz};
    if (command == "score") {
      plainArgs.push_back(kCases);
      gzArgs.push_back(kCases);
    }
    const Outcome plain = RunBnscore(plainArgs);
    const Outcome compressed = RunBnscore(gzArgs);
    EXPECT_EQ(compressed.status, 0) << compressed.err;
    // The same but for the first line, which names the file.
    EXPECT_EQ(compressed.out.substr(compressed.out.find('\n')),
              plain.out.substr(plain.out.find('\n')));
  }
  const std::string text = ReadFile(cli_network::kModel);
  const std::string cut = WriteTempFile("decoding_cut.pmml.gz", ReadFile(gz).substr(0, 100));
  const std::string zip =
      WriteTempFile("decoding_model.xlsx", std::string("PK\x03\x04\x14\x00", 6));
  std::string utf16 = "\xff\xfe";
  for (char c : text) utf16 += std::string{c, '\0'};
  const std::string wide = WriteTempFile("decoding_utf16.pmml", utf16);
  const std::pair<std::string, std::string> refused[] = {
      {cut, "the gzip data ends early (the file is cut short)"},
      {zip,
       "looks like a zip archive (an .xlsx workbook is one); a model is a PMML (XML) document"},
      {wide, "looks like UTF-16 text (byte-order mark FF FE); convert it to UTF-8"},
  };
  for (const auto& [path, message] : refused) {
    const Outcome run = RunBnscore({"check", path});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "bnscore: " + path + ": " + message + "\n");
  }
  for (const std::string& path : {gz, cut, zip, wide}) std::remove(path.c_str());
}

TEST(InputDecodingTest, NoRecordScoredSaysWhyAndStrictFailsOnAnyUnscored) {
  // n is numeric: three cells that are no numbers, one unknown x.
  const std::string records =
      WriteTempFile("decoding_unscored.csv", "id,x,n\n1,u,abc\n2,u,zz\n3,w,5\n4,v,\n");
  const std::string summary = "bnscore: scored 4 records: 4 with status 90029\n";
  Outcome run = RunBnscore({"score", cli_network::kModel, records});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.err, summary +
                         "bnscore: no record was scored; commonest reason: n: 2 of 4 cells are "
                         "not numbers (e.g. \"abc\")\n");
  // The same from a redirected file; a pipe cannot be read again.
  EXPECT_EQ(RunBnscore({"score", cli_network::kModel}, records).err, run.err);
  run = RunPiped("cat '" + records + "'", {"score", cli_network::kModel});
  EXPECT_EQ(run.err,
            summary + "bnscore: no record was scored (--reason says why for each record)\n");

  // --strict: status 3 when any record is not scored, with the whole output.
  run = RunBnscore({"score", "--strict", cli_network::kModel, kCases});
  EXPECT_EQ(run.status, 3);
  EXPECT_EQ(run.out, RunBnscore({"score", cli_network::kModel, kCases}).out);
  const std::string scored = WriteTempFile("decoding_scored.csv", "x,n\nu,5\nv,15\n");
  run = RunBnscore({"score", "--strict", cli_network::kModel, scored});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, cli_network::kHeader + cli_network::kGood + cli_network::kBad);
  std::remove(records.c_str());
  std::remove(scored.c_str());
}

}  // namespace
